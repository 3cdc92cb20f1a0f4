// The exchange writers as a program uses them: the module is loaded at the first write or check that
// needs it, and stays loaded while this object lives.
#pragma once

#include "exchange/module/Entry.h"
#include "platform/DynamicLibrary.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace exchange {

class WriterModule {
public:
    // `path` is the module's file; nothing is loaded yet.
    explicit WriterModule(std::filesystem::path path) : m_path(std::move(path)) {}
    WriterModule(const WriterModule&) = delete;
    WriterModule& operator=(const WriterModule&) = delete;

    // exchange::Write through the module. Throws Error as it does, and a write failure naming the
    // module's file when that cannot be loaded.
    void Write(const std::vector<survey::FileSurvey>& surveys, const Destination& destination);

    // exchange::Check through the module. A module that cannot be loaded is not the user's mistake:
    // nothing is thrown, and the write reports it.
    void Check(const Destination& destination);

private:
    // The module's table, or the reason it cannot be had; tried once.
    const module::Entry* Load();

    std::filesystem::path m_path;
    platform::DynamicLibrary m_library;
    const module::Entry* m_entry = nullptr;
    std::optional<std::string> m_failure;
};

} // namespace exchange
