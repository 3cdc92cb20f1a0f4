#include "exchange/Staging.h"

#include "exchange/Formats.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

#ifdef _WIN32
#include <process.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace exchange {
namespace {

[[noreturn]] void CannotWrite(const std::filesystem::path& path, const std::string& reason) {
    throw Error(Error::Kind::WriteFailure, "cannot write " + path.u8string() + ": " + reason);
}

std::filesystem::path ParentOf(const std::filesystem::path& target) {
    return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

// A folder of a name no one else has, beside the target: create_directory reports a name that
// exists instead of sharing it, so two writers never meet (what mkdtemp does, on every system).
// Failures name the target, the file the user asked for.
std::filesystem::path NewFolderFor(const std::filesystem::path& target) {
    constexpr int kAttempts = 100;
    const std::string prefix = StagingPrefix(target);
    std::random_device random;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        char suffix[9];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        const std::filesystem::path folder = ParentOf(target) / std::filesystem::u8path(prefix + suffix);
        std::error_code error;
        if (std::filesystem::create_directory(folder, error))
            return folder;
        if (error)
            CannotWrite(target, error.message());
    }
    CannotWrite(target, "no free name for a staging folder");
}

#ifdef _WIN32
int ProcessId() {
    return _getpid();
}

// Windows runs of this tool write no multi-file format, and its files reach the disk when closed.
class FolderTurn {
public:
    explicit FolderTurn(const std::filesystem::path&) {}
};

void ToDisk(const std::filesystem::path&) {}
#else
int ProcessId() {
    return static_cast<int>(::getpid());
}

// An exclusive lock on the folder the files are moved into, held while they are moved.
class FolderTurn {
public:
    explicit FolderTurn(const std::filesystem::path& folder)
        : m_descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (m_descriptor < 0 || ::flock(m_descriptor, LOCK_EX) != 0)
            CannotWrite(folder, "cannot lock the folder");
    }
    ~FolderTurn() {
        if (m_descriptor >= 0)
            ::close(m_descriptor); // releases the lock
    }
    FolderTurn(const FolderTurn&) = delete;
    FolderTurn& operator=(const FolderTurn&) = delete;

private:
    int m_descriptor;
};

void ToDisk(const std::filesystem::path& file) {
    const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    const bool synced = descriptor >= 0 && ::fsync(descriptor) == 0;
    if (descriptor >= 0)
        ::close(descriptor);
    if (!synced)
        CannotWrite(file, "cannot flush it to the disk");
}
#endif

} // namespace

std::string StagingPrefix(const std::filesystem::path& target) {
    return "." + target.filename().u8string() + ".partial-" + std::to_string(ProcessId()) + "-";
}

Staging::Staging(std::filesystem::path target)
    : m_target(std::move(target)), m_folder(NewFolderFor(m_target)) {}

Staging::~Staging() {
    std::error_code ignored; // a folder that cannot be removed is not worth a second failure
    std::filesystem::remove_all(m_folder, ignored);
}

void Staging::Commit() {
    const std::filesystem::path parent = ParentOf(m_target);
    std::vector<std::filesystem::path> written;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder))
        written.push_back(entry.path().filename());
    // The requested name appears last, when its companions are already in place.
    std::stable_partition(written.begin(), written.end(),
                          [&](const std::filesystem::path& name) { return name != m_target.filename(); });
    for (const std::filesystem::path& name : written)
        ToDisk(m_folder / name);
    const FolderTurn turn(parent);
    for (const std::filesystem::path& name : written) {
        std::error_code error;
        const std::filesystem::file_status existing = std::filesystem::symlink_status(parent / name, error);
        if (std::filesystem::exists(existing) && !std::filesystem::is_regular_file(existing))
            CannotWrite(parent / name, "it is not a regular file, and is left as it is");
    }
    for (const std::filesystem::path& name : written) {
        std::error_code error;
        std::filesystem::rename(m_folder / name, parent / name, error);
        if (error)
            CannotWrite(parent / name, error.message());
    }
}

} // namespace exchange
