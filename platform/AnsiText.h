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

    // The text up to the first zero byte, converted into `out`, which needs room for
    // bytes.size() characters (no character set makes more of a byte); returns how many were
    // written.
    std::size_t Convert(std::string_view bytes, wchar_t* out) const;
    // The same conversion as a string of its own.
    std::wstring Convert(std::string_view bytes) const {
        std::wstring line(bytes.size(), L'\0');
        line.resize(Convert(bytes, line.data()));
        return line;
    }

private:
#ifndef _WIN32
    std::size_t Decode(std::string_view bytes, wchar_t* out) const;

    bool singleByte = false;
    bool utf8 = false;
    bool asciiKept = false; // bytes below 0x80 are the same characters
    std::array<wchar_t, 256> byteTable{};
#endif
};

} // namespace platform
