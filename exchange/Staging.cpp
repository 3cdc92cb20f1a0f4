#include "exchange/Staging.h"

#include "exchange/Formats.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace exchange {
namespace {

[[noreturn]] void CannotWrite(const std::filesystem::path& path, const std::string& reason) {
    throw Error(Error::Kind::WriteFailure, "cannot write " + path.u8string() + ": " + reason);
}

// A folder of a name no one else has, beside the target: create_directory reports a name that
// exists instead of sharing it, so two writers never meet (what mkdtemp does, on every system).
// Failures name the target, the file the user asked for.
std::filesystem::path NewFolderFor(const std::filesystem::path& target) {
    constexpr int kAttempts = 100;
    const std::filesystem::path parent =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    const std::string prefix = "." + target.filename().u8string() + ".partial-";
    std::random_device random;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        char suffix[9];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        const std::filesystem::path folder = parent / std::filesystem::u8path(prefix + suffix);
        std::error_code error;
        if (std::filesystem::create_directory(folder, error))
            return folder;
        if (error)
            CannotWrite(target, error.message());
    }
    CannotWrite(target, "no free name for a staging folder");
}

} // namespace

Staging::Staging(std::filesystem::path target)
    : m_target(std::move(target)), m_folder(NewFolderFor(m_target)) {}

Staging::~Staging() {
    std::error_code ignored; // a folder that cannot be removed is not worth a second failure
    std::filesystem::remove_all(m_folder, ignored);
}

void Staging::Commit() {
    const std::filesystem::path parent = m_target.parent_path();
    std::vector<std::filesystem::path> written;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder))
        written.push_back(entry.path().filename());
    // The requested name appears last, when its companions are already in place.
    std::stable_partition(written.begin(), written.end(),
                          [&](const std::filesystem::path& name) { return name != m_target.filename(); });
    for (const std::filesystem::path& name : written) {
        std::error_code error;
        std::filesystem::rename(m_folder / name, parent / name, error);
        if (error)
            CannotWrite(parent / name, error.message());
    }
}

} // namespace exchange
