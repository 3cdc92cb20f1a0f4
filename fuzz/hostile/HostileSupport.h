// Helpers of the hostile-file tests: imports against the checking host, and a
// measurement of the memory an import adds.
#pragma once

#include "fuzz/CheckingHost.h"
#include "tests/support/TempDir.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace hostile {

using testsupport::TempDir;

struct ImportResult {
    std::vector<std::string> violations;
    std::vector<std::string> log;
    checking::CallCounts counts;
    std::int64_t lastLineOfImportPass = -1;
};

// Host options that keep the call log.
inline checking::HostOptions Logged() {
    checking::HostOptions options;
    options.keepLog = true;
    return options;
}

// Imports `paths` through CreatePlugin; `onBeginFile` runs inside every BeginFile.
ImportResult Import(const std::vector<std::string>& paths, checking::HostOptions options = Logged(),
                    std::function<void(const std::wstring&)> onBeginFile = {});

// The log without progress, line and factory calls: what the file's records produced.
std::vector<std::string> RecordCalls(const std::vector<std::string>& log);

// Runs `work` in a child process and returns how far its peak resident memory rose above what
// it was before, in bytes; -1 when the child failed.
std::int64_t PeakGrowth(const std::function<void()>& work);

// Whether this build runs under a sanitizer, whose shadow memory makes sizes meaningless.
constexpr bool kSanitized =
#if defined(__SANITIZE_ADDRESS__)
    true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    true;
#else
    false;
#endif
#else
    false;
#endif

} // namespace hostile
