#include "tools/rdf-import/OutputFiles.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace rdf {
namespace {

namespace fs = std::filesystem;

bool MayWrite(const fs::path& path, const fs::file_status& status) {
    constexpr fs::perms kWriteBits =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((status.permissions() & kWriteBits) == fs::perms::none)
        return false; // refused even to root, as a read-only file is meant to be kept
#ifdef _WIN32
    (void)path;
    return true;
#else
    return ::access(path.c_str(), W_OK) == 0;
#endif
}

bool SameFile(const fs::path& a, const fs::path& b) {
    std::error_code error; // a file that does not exist is no other file
    return fs::equivalent(a, b, error);
}

std::optional<std::string> Refusal(const fs::path& output, const std::vector<fs::path>& inputs) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(output, error);
    if (!fs::exists(status))
        return std::nullopt;
    const std::string name = output.u8string();
    if (fs::is_symlink(status))
        return name + " is a symbolic link; name the file itself";
    if (!fs::is_regular_file(status))
        return name + " is not a regular file";
    if (!MayWrite(output, status))
        return name + " is read-only";
    for (const fs::path& input : inputs) {
        if (SameFile(output, input))
            return "cannot write " + name + ": it is the input " + input.u8string() + " of this run";
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> RepeatedTarget(const std::vector<fs::path>& outputs) {
    std::vector<fs::path> seen;
    for (const fs::path& output : outputs) {
        std::error_code error;
        const fs::path whole = fs::weakly_canonical(fs::absolute(output), error);
        for (const fs::path& other : seen) {
            if (other == whole)
                return output.u8string() + " would be written twice";
        }
        seen.push_back(whole);
    }
    return std::nullopt;
}

std::optional<std::string> OutputRefusal(const std::vector<fs::path>& outputs,
                                         const std::vector<fs::path>& inputs) {
    for (const fs::path& output : outputs) {
        if (std::optional<std::string> refusal = Refusal(output, inputs))
            return refusal;
    }
    return std::nullopt;
}

OutputFile::OutputFile(const std::string& path) : staging_(std::filesystem::u8path(path)) {
    stream_.open(staging_.PathFor(staging_.target().filename().u8string()), std::ios::binary);
}

bool OutputFile::Finish() {
    stream_.close();
    if (!stream_)
        return false;
    staging_.Commit();
    return true;
}

} // namespace rdf
