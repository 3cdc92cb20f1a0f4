#include "tools/rdf-import/Platform.h"

#include "host/Text.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <streambuf>
#include <windows.h>

#include <shellapi.h>

namespace rdf {

const char kModuleFileName[] = "Nikon.dll";

InterruptCleanup::InterruptCleanup(std::vector<std::filesystem::path>) {}

namespace {

struct LocalFreeDeleter {
    void operator()(wchar_t** memory) const { LocalFree(memory); }
};

// The bytes at the end of `text` that begin a UTF-8 sequence still missing its last bytes.
std::size_t IncompleteTail(const std::string& text) {
    const std::size_t lookBack = std::min<std::size_t>(text.size(), 3);
    for (std::size_t back = 1; back <= lookBack; ++back) {
        const unsigned char c = static_cast<unsigned char>(text[text.size() - back]);
        if ((c & 0xC0) == 0x80)
            continue; // a continuation byte: look further back for the lead
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

// Writes UTF-8 to a console as UTF-16, a whole character at a time.
class ConsoleBuffer : public std::streambuf {
public:
    explicit ConsoleBuffer(HANDLE console) : console(console) {}
    ~ConsoleBuffer() override { sync(); }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        const char byte = traits_type::to_char_type(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }
    // Held until a flush, or until enough has gathered, so that a listing is not a call a line.
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        pending.append(text, static_cast<std::size_t>(count));
        if (pending.size() >= kFlushAt && sync() != 0)
            return 0;
        return count;
    }
    int sync() override {
        const std::size_t complete = pending.size() - IncompleteTail(pending);
        const std::wstring wide = host::FromUtf8(std::string_view(pending).substr(0, complete));
        pending.erase(0, complete);
        DWORD written = 0;
        return wide.empty() ||
                       WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr)
                   ? 0
                   : -1;
    }

private:
    static constexpr std::size_t kFlushAt = 8192;

    HANDLE console;
    std::string pending;
};

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

} // namespace

CommandLine::CommandLine(int, char**) {
    int count = 0;
    const std::unique_ptr<wchar_t*, LocalFreeDeleter> arguments(
        CommandLineToArgvW(GetCommandLineW(), &count));
    if (!arguments)
        throw std::runtime_error("cannot read the command line");
    for (int i = 0; i < count; ++i)
        texts.push_back(host::ToUtf8(arguments.get()[i]));
    for (const std::string& text : texts)
        pointers.push_back(text.c_str());
}

// A console gets a buffer of its own in place of the stream's; anything else is switched to
// binary mode, in which the C runtime passes the bytes on unchanged.
struct ConsoleSession::Redirection {
    Redirection(std::ostream& stream, std::FILE* file, DWORD handleId)
        : stream(stream), file(file), handle(GetStdHandle(handleId)) {
        std::fflush(file);
        if (IsConsole(handle)) {
            console = std::make_unique<ConsoleBuffer>(handle);
            previousBuffer = stream.rdbuf(console.get());
        } else {
            previousMode = _setmode(_fileno(file), _O_BINARY);
        }
    }
    ~Redirection() {
        stream.flush();
        if (console)
            stream.rdbuf(previousBuffer);
        else if (previousMode != -1)
            _setmode(_fileno(file), previousMode);
    }

    std::ostream& stream;
    std::FILE* file;
    HANDLE handle;
    std::unique_ptr<ConsoleBuffer> console;
    std::streambuf* previousBuffer = nullptr;
    int previousMode = -1;
};

ConsoleSession::ConsoleSession() {
    redirections.push_back(std::make_unique<Redirection>(std::cout, stdout, STD_OUTPUT_HANDLE));
    redirections.push_back(std::make_unique<Redirection>(std::cerr, stderr, STD_ERROR_HANDLE));
}

ConsoleSession::~ConsoleSession() = default;

// The bar redraws its line with "\r" and the erase-line sequence, which a console shows only in
// its terminal mode; a console that does not have it gets no bar.
bool OutputStreamIsTerminal() {
    const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

bool ErrorStreamIsTerminal() {
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || GetConsoleMode(handle, &mode) == 0)
        return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

// Always the folder of the tool, so that a failure names the place the user should look: the
// build copies the module there as well.
std::filesystem::path DefaultModulePath(const std::filesystem::path&) {
    std::wstring self(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        if (length == 0)
            throw std::runtime_error("cannot find the folder of rdf-import.exe");
        if (length < self.size()) {
            self.resize(length);
            break;
        }
        self.resize(self.size() * 2);
    }
    return std::filesystem::path(self).parent_path() / kModuleFileName;
}

} // namespace rdf
