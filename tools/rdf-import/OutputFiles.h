// The files a run writes, checked against its inputs before anything is read: a surveyor's raw
// file is the one thing that must never be lost.
#pragma once

#include "exchange/Staging.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace rdf {

// The first reason the run may not write `outputs`: one of them is a file the run reads (the same
// file by device and inode, whatever its name), a symbolic link, not a regular file, read-only,
// None when every output may be written.
std::optional<std::string> OutputRefusal(const std::vector<std::filesystem::path>& outputs,
                                         const std::vector<std::filesystem::path>& inputs);

// The first file named twice among the files the user asked for, which would overwrite each other.
std::optional<std::string> RepeatedTarget(const std::vector<std::filesystem::path>& targets);

// -o's file: it appears under its name only once it is whole and on the disk, as --to's do.
class OutputFile {
public:
    // Throws exchange::Error when its staging folder cannot be made.
    explicit OutputFile(const std::string& path);

    std::ostream& Stream() { return stream_; }

    // Closes the file and moves it into place; false when a write failed. Throws exchange::Error
    // when it cannot be moved.
    bool Finish();

private:
    exchange::Staging staging_;
    std::ofstream stream_;
};

} // namespace rdf
