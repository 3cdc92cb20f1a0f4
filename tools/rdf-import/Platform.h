// What rdf-import needs of the operating system: its command line as UTF-8, standard output and
// error that carry UTF-8, whether a progress bar can be drawn, and where the module lies.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace rdf {

// The arguments as UTF-8 texts, in argv's form for the parser. POSIX passes argv on; Windows
// reads the UTF-16 command line, which holds any file name the ANSI argv may have lost.
class CommandLine {
public:
    CommandLine(int argc, char** argv);
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    int Count() const { return static_cast<int>(pointers.size()); }
    const char* const* Values() const { return pointers.data(); }

private:
    std::vector<std::string> texts;
    std::vector<const char*> pointers;
};

// For its lifetime standard output and error write UTF-8 as it is given. Windows writes the bytes
// unchanged to files and pipes (no "\r\n" for "\n", the same output as on Linux), and converts
// to UTF-16 for a console, which shows it whatever the console's code page.
class ConsoleSession {
public:
    ConsoleSession();
    ConsoleSession(const ConsoleSession&) = delete;
    ConsoleSession& operator=(const ConsoleSession&) = delete;
    ~ConsoleSession();

    struct Redirection;

private:
    std::vector<std::unique_ptr<Redirection>> redirections;
};

// While it lives, an interrupt, hangup or termination first removes the staging folders this
// process made for `targets` (see exchange/Staging.h), then ends the process as the signal would.
// POSIX; on Windows it does nothing yet, and an interrupted run may leave its staging folder.
class InterruptCleanup {
public:
    explicit InterruptCleanup(std::vector<std::filesystem::path> targets);
    InterruptCleanup(const InterruptCleanup&) = delete;
    InterruptCleanup& operator=(const InterruptCleanup&) = delete;
};

// Standard error is a terminal that can redraw a line (on Windows a console that takes the
// terminal sequences, which are switched on here).
bool ErrorStreamIsTerminal();

// Standard output is a terminal (on Windows a console), where names must not carry control
// characters to it.
bool OutputStreamIsTerminal();

// A module where this system keeps it. POSIX: the file of `built`'s name beside the tool, then in
// the installed package's library folder, else `built` (Nikon.so, and the exchange writers'
// rdf-exchange.so). Windows: Nikon.dll beside the tool, as the zip has it.
std::filesystem::path DefaultModulePath(const std::filesystem::path& built);

// The module's file name on this system, for the usage text.
extern const char kModuleFileName[];

} // namespace rdf
