// A fresh folder under the system's temporary directory, removed with everything in it.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path; }
    // Writes `bytes` to the file `name` in the folder and returns its path.
    std::filesystem::path Write(const std::string& name, const std::string& bytes) const;
    // The wide path of `name` in the folder, whether or not it exists.
    std::wstring PathOf(const std::string& name) const { return (path / name).wstring(); }
    // Removes the folder now; false, with the reason in `error`, when that fails.
    bool Remove(std::string& error);

private:
    std::filesystem::path path;
};

} // namespace testsupport
