#include "platform/AnsiText.h"

#include "platform/windows/Win32Failure.h"

#include <windows.h>

#include <climits>

namespace platform {
namespace {

[[noreturn]] void RaiseConversionFailure(DWORD error) {
    throw Win32Failure{HRESULT_FROM_WIN32(error)};
}

} // namespace

// MultiByteToWideChar reads the thread's code page on every call; nothing to sample here.
AnsiLineDecoder::AnsiLineDecoder() = default;

// The text is converted without its terminator, which adds nothing to the result. No ANSI code
// page makes more than one UTF-16 unit of a byte (UTF-8 makes two of four), so the room the
// caller gives is always enough.
std::size_t AnsiLineDecoder::Convert(std::string_view bytes, wchar_t* out) const {
    bytes = bytes.substr(0, bytes.find('\0'));
    if (bytes.empty())
        return 0;
    // The converter counts in int; a longer line could not be passed whole.
    if (bytes.size() >= static_cast<std::size_t>(INT_MAX))
        RaiseConversionFailure(ERROR_ARITHMETIC_OVERFLOW);
    const int length = static_cast<int>(bytes.size());
    const int written = MultiByteToWideChar(CP_THREAD_ACP, 0, bytes.data(), length, out, length);
    if (written == 0)
        RaiseConversionFailure(GetLastError());
    return static_cast<std::size_t>(written);
}

// The code page is read on every conversion and may change between them, so no line is left
// unconverted for later.
bool AnsiLineDecoder::KeepsAscii() const {
    return false;
}

std::size_t AnsiLineDecoder::CopyPlainLines(std::string_view, char*, LineBatch& batch) const {
    batch.count = 0;
    return 0;
}

std::size_t AnsiLineDecoder::ConvertLine(std::string_view bytes, wchar_t* out, std::size_t& length) const {
    return ConvertFedLine(bytes, out, length);
}

} // namespace platform
