// Helpers shared by the suites: files on disk, thread locales, and running the parser alone.
#pragma once

#include "tests/RecordingHost.h"
#include "tests/support/TempDir.h"
#include "tests/support/ThreadLocale.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace testing_host {

using testsupport::ScopedThreadLocale;

// The shared folder, whose removal a test checks too.
class TempDir : public testsupport::TempDir {
public:
    ~TempDir() {
        std::string error;
        if (!Remove(error))
            ADD_FAILURE() << error;
    }
};

// One import pass of a parser over `lines` (each split at '\n' of `text`), as the driver runs
// it but without line indices and progress: just the calls the parser makes.
Log RunImportPass(RecordingHost& host, const std::wstring& text);
Log RunPreScanPass(RecordingHost& host, const std::wstring& text);
// The log of a pass that asks for the converter factory first and then makes `calls`.
Log AfterFactory(const Log& calls);

// A text of up to `longest` characters drawn from `alphabet`.
std::wstring RandomText(std::mt19937& random, const std::wstring& alphabet, std::size_t longest);

// Whole-log comparison that prints both logs, one call a line, on a mismatch.
::testing::AssertionResult LogsEqual(const Log& expected, const Log& actual);

using testsupport::Without;

} // namespace testing_host

#define EXPECT_LOG(expected, actual) EXPECT_TRUE(::testing_host::LogsEqual(expected, actual))
#define EXPECT_NO_REFERENCE_FAULTS(host) EXPECT_EQ((host).ReferenceFaults(), std::vector<std::string>{})
