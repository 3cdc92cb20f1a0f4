#include "tools/rdf-import/Platform.h"

#include "exchange/Staging.h"

#include <csignal>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace rdf {

const char kModuleFileName[] = "Nikon.so";

CommandLine::CommandLine(int argc, char** argv) : texts(argv, argv + argc) {
    for (const std::string& text : texts)
        pointers.push_back(text.c_str());
}

// POSIX streams carry bytes as they are.
struct ConsoleSession::Redirection {};
ConsoleSession::ConsoleSession() = default;
ConsoleSession::~ConsoleSession() = default;

namespace {

constexpr int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void RemoveStagingFolders(const std::vector<std::filesystem::path>& targets) {
    for (const std::filesystem::path& target : targets) {
        const std::string prefix = exchange::StagingPrefix(target);
        const std::filesystem::path parent = target.has_parent_path() ? target.parent_path() : ".";
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(parent, error)) {
            if (entry.path().filename().u8string().rfind(prefix, 0) == 0)
                std::filesystem::remove_all(entry.path(), error);
        }
    }
}

} // namespace

// The signals are blocked in every thread and taken by one of its own with sigwait, so the
// cleaning runs as ordinary code, not in a signal handler; the signal is then raised again with
// its default action, in that thread alone.
InterruptCleanup::InterruptCleanup(std::vector<std::filesystem::path> targets) {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : kCleanedSignals)
        sigaddset(&signals, signal);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals, targets = std::move(targets)]() {
        int signal = 0;
        if (sigwait(&signals, &signal) != 0)
            return;
        RemoveStagingFolders(targets);
        std::signal(signal, SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, signal);
        pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
        std::raise(signal);
    }).detach();
}

bool OutputStreamIsTerminal() {
    return ::isatty(STDOUT_FILENO) != 0;
}

bool ErrorStreamIsTerminal() {
    return ::isatty(STDERR_FILENO) != 0;
}

// NIKON_MODULE_FROM_TOOL is the installed library folder seen from the installed tool
// (packaging/CMakeLists.txt).
std::filesystem::path DefaultModulePath(const std::filesystem::path& built) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return built;
    for (const std::filesystem::path& folder :
         {self.parent_path(), self.parent_path() / NIKON_MODULE_FROM_TOOL}) {
        const std::filesystem::path candidate = folder / built.filename();
        if (std::filesystem::exists(candidate, error))
            return candidate.lexically_normal();
    }
    return built;
}

} // namespace rdf
