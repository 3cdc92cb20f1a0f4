#include "platform/TextFile.h"

#include <io.h>
#include <share.h>
#include <windows.h>

namespace platform {

SharedTextFile::~SharedTextFile() {
    if (stream != nullptr)
        std::fclose(stream);
}

// Text mode gives the line shapes the parser expects: CR LF reads as LF and byte 26 ends the
// input. Only disk files are kept: reading a console, pipe or device could block forever.
bool SharedTextFile::Open(const std::wstring& path) {
    std::FILE* opened = _wfsopen(path.c_str(), L"r", _SH_DENYNO);
    if (opened == nullptr)
        return false;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(opened)));
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        std::fclose(opened);
        return false;
    }
    LARGE_INTEGER size{};
    if (GetFileSizeEx(handle, &size) && size.QuadPart > 0)
        sizeAtOpen = static_cast<std::uint64_t>(size.QuadPart);
    stream = opened;
    return true;
}

bool SharedTextFile::ReadLine(std::string& line) {
    line.clear();
    if (stream == nullptr)
        return false;
    bool extracted = false;
    for (int c = std::getc(stream); c != EOF; c = std::getc(stream)) {
        extracted = true;
        if (c == '\n')
            return true;
        line.push_back(static_cast<char>(c));
    }
    return extracted;
}

bool SharedTextFile::ReadLine(std::string_view& line, std::string& spill) {
    if (!ReadLine(spill))
        return false;
    line = spill;
    return true;
}

// The C runtime's text mode does the reading here, a line at a time.
std::string_view SharedTextFile::Ahead() {
    return {};
}

void SharedTextFile::Skip(std::size_t) {}

} // namespace platform
