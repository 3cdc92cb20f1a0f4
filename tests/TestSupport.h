// Helpers shared by the suites: files on disk, thread locales, and running the parser alone.
#pragma once

#include "tests/RecordingHost.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale.h>
#include <string>
#include <vector>

namespace testing_host {

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Writes `bytes` to a file of that name and returns its wide path.
    std::wstring Write(const std::string& name, const std::string& bytes) const;
    std::wstring PathOf(const std::string& name) const;
    const std::string& Path() const { return path; }

private:
    std::string path;
};

// Makes `name` the calling thread's LC_CTYPE locale for the scope; Active() is false when the
// system lacks it.
class ScopedThreadLocale {
public:
    explicit ScopedThreadLocale(const char* name);
    ~ScopedThreadLocale();
    ScopedThreadLocale(const ScopedThreadLocale&) = delete;
    ScopedThreadLocale& operator=(const ScopedThreadLocale&) = delete;
    bool Active() const { return locale != nullptr; }

private:
    locale_t locale = nullptr;
    locale_t previous = nullptr;
};

// One import pass of a parser over `lines` (each split at '\n' of `text`), as the driver runs
// it but without line indices and progress: just the calls the parser makes.
Log RunImportPass(RecordingHost& host, const std::wstring& text);
Log RunPreScanPass(RecordingHost& host, const std::wstring& text);

// Whole-log comparison that prints both logs, one call a line, on a mismatch.
::testing::AssertionResult LogsEqual(const Log& expected, const Log& actual);

// The log less the calls whose text starts with any of `prefixes`.
Log Without(const Log& log, std::initializer_list<const char*> prefixes);

} // namespace testing_host

#define EXPECT_LOG(expected, actual) EXPECT_TRUE(::testing_host::LogsEqual(expected, actual))
#define EXPECT_NO_REFERENCE_FAULTS(host) EXPECT_EQ((host).ReferenceFaults(), std::vector<std::string>{})
