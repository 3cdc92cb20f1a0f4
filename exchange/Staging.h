// Files are written into a folder of their own next to the requested name and moved into place
// only when the writer succeeded, so a failed write leaves nothing half-written under that name.
#pragma once

#include <filesystem>
#include <string>

namespace exchange {

class Staging {
public:
    // Throws Error (WriteFailure) when the folder cannot be made.
    explicit Staging(std::filesystem::path target);
    ~Staging(); // removes whatever was not committed
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;

    // Where a writer puts the file that will be called fileName next to the target.
    std::filesystem::path PathFor(const std::string& fileName) const { return m_folder / fileName; }
    const std::filesystem::path& target() const { return m_target; }

    // Moves every written file next to the target, the target itself last, each on disk before it
    // is moved. Runs that commit into one folder take turns, so the files of one multi-file format
    // all come from one run. A file in the way that is not a regular file is left as it is. Throws
    // Error.
    void Commit();

private:
    std::filesystem::path m_target;
    std::filesystem::path m_folder;
};

// The name every staging folder of `target` made by this process starts with: a program that is
// interrupted removes what this names (see tools/rdf-import/Interruption.h).
std::string StagingPrefix(const std::filesystem::path& target);

} // namespace exchange
