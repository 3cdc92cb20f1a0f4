#include "exchange/Staging.h"

#include "exchange/Exchange.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace exchange {
namespace {

[[noreturn]] void CannotWrite(const std::filesystem::path& path, const std::string& reason) {
    throw Error(Error::Kind::WriteFailure, "cannot write " + path.u8string() + ": " + reason);
}

} // namespace

Staging::Staging(std::filesystem::path target) : m_target(std::move(target)) {
    const std::filesystem::path parent =
        m_target.has_parent_path() ? m_target.parent_path() : std::filesystem::path(".");
    std::string pattern = (parent / ("." + m_target.filename().u8string() + ".partial-XXXXXX")).u8string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr)
        CannotWrite(m_target, std::strerror(errno));
    m_folder = buffer.data();
}

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
