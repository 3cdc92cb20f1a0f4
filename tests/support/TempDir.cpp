#include "tests/support/TempDir.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>

namespace testsupport {

// A random name tried until one is new, so that parallel tests never share a folder.
TempDir::TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate = base / ("nikon-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot make a folder in " + base.string());
}

// A destructor may not throw: a folder that cannot be removed is reported, not hidden.
TempDir::~TempDir() {
    std::string error;
    if (!Remove(error))
        std::fprintf(stderr, "%s\n", error.c_str());
}

bool TempDir::Remove(std::string& error) {
    std::error_code failure;
    std::filesystem::remove_all(path, failure);
    if (!failure)
        return true;
    error = "cannot remove " + path.string() + ": " + failure.message();
    return false;
}

std::filesystem::path TempDir::Write(const std::string& name, const std::string& bytes) const {
    const std::filesystem::path file = path / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
    return file;
}

} // namespace testsupport
