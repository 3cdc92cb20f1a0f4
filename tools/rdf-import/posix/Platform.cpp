#include "tools/rdf-import/Platform.h"

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
