#include "fuzz/hostile/HostileSupport.h"

#include "fuzz/ImportRun.h"
#include "tests/support/Text.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace hostile {

ImportResult Import(const std::vector<std::string>& paths, checking::HostOptions options,
                    std::function<void(const std::wstring&)> onBeginFile) {
    checking::CheckingSink sink(options);
    if (onBeginFile)
        sink.OnBeginFile(std::move(onBeginFile));
    std::vector<std::wstring> wide;
    for (const std::string& path : paths)
        wide.push_back(testsupport::FromUtf8(path));
    checking::RunImport(wide, sink);
    return {sink.Violations(), sink.Log(), sink.Counts(), sink.LastLineOfPass(1)};
}

std::vector<std::string> RecordCalls(const std::vector<std::string>& log) {
    return testsupport::Without(log,
                                {"SetProgress(", "SetCurrentLine(", "GetConverterFactory", "BeginFile("});
}

std::int64_t PeakGrowth(const std::function<void()>& work) {
    int channel[2];
    if (::pipe(channel) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        ::close(channel[0]);
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        work();
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        const std::int64_t grown = (std::int64_t{after.ru_maxrss} - before.ru_maxrss) * 1024;
        const bool sent = ::write(channel[1], &grown, sizeof grown) == static_cast<ssize_t>(sizeof grown);
        ::_exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    std::int64_t grown = -1;
    if (::read(channel[0], &grown, sizeof grown) != static_cast<ssize_t>(sizeof grown))
        grown = -1;
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? grown : -1;
}

} // namespace hostile
