#include "tests/TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace testing_host {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/nikon-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path = pattern;
}

TempDir::~TempDir() {
    const std::string command = "rm -rf '" + path + "'";
    if (std::system(command.c_str()) != 0)
        ADD_FAILURE() << "could not remove " << path;
}

std::wstring TempDir::PathOf(const std::string& name) const {
    const std::string full = path + "/" + name;
    return std::wstring(full.begin(), full.end());
}

std::wstring TempDir::Write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(path + "/" + name, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + name);
    return PathOf(name);
}

ScopedThreadLocale::ScopedThreadLocale(const char* name) {
    locale = ::newlocale(LC_CTYPE_MASK, name, nullptr);
    if (locale != nullptr)
        previous = ::uselocale(locale);
}

ScopedThreadLocale::~ScopedThreadLocale() {
    if (locale == nullptr)
        return;
    ::uselocale(previous);
    ::freelocale(locale);
}

::testing::AssertionResult LogsEqual(const Log& expected, const Log& actual) {
    if (expected == actual)
        return ::testing::AssertionSuccess();
    std::ostringstream out;
    const std::size_t n = std::max(expected.size(), actual.size());
    out << "logs differ (expected | actual):\n";
    for (std::size_t i = 0; i < n; ++i) {
        const std::string e = i < expected.size() ? expected[i] : "";
        const std::string a = i < actual.size() ? actual[i] : "";
        out << (e == a ? "   " : "!! ") << e << " | " << a << "\n";
    }
    return ::testing::AssertionFailure() << out.str();
}

Log Without(const Log& log, std::initializer_list<const char*> prefixes) {
    Log kept;
    for (const std::string& call : log) {
        bool drop = false;
        for (const char* prefix : prefixes)
            drop = drop || call.rfind(prefix, 0) == 0;
        if (!drop)
            kept.push_back(call);
    }
    return kept;
}

} // namespace testing_host
