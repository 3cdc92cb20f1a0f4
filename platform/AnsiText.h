// Conversion of a line from the calling thread's ANSI code page to wide text. On Windows that is
// CP_THREAD_ACP; on POSIX the character set of the thread's LC_CTYPE locale (the global one when
// the thread has none). Bytes invalid in it become a replacement character.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace platform {

class AnsiLineDecoder {
public:
    // Samples the calling thread's character set; use the decoder on that thread.
    AnsiLineDecoder();

    // The text up to the first zero byte, converted. Lines shorter than 128 bytes are converted
    // through a buffer on the stack; longer ones through one heap buffer of the exact size.
    std::wstring Convert(std::string_view bytes) const;
    // The same conversion written to `out`, which needs room for bytes.size() characters (no
    // character set makes more of a byte); returns how many were written.
    std::size_t Convert(std::string_view bytes, wchar_t* out) const;

private:
#ifndef _WIN32
    std::size_t Decode(std::string_view bytes, wchar_t* out) const;

    bool singleByte = false;
    bool utf8 = false;
    std::array<wchar_t, 256> byteTable{};
#endif
};

} // namespace platform
