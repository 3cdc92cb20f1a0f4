// The files a run writes, checked against its inputs before anything is read: a surveyor's raw
// file is the one thing that must never be lost.
#pragma once

#include <filesystem>
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

} // namespace rdf
