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
    // The line at the start of `bytes`, up to its first line feed, converted into `out` (room
    // for bytes.size() characters), without the carriage return of a CR LF end. Returns how
    // many bytes the line took, its line feed included, and sets `length` to the characters
    // written; returns 0, leaving `length`, when `bytes` holds no line feed.
    std::size_t ConvertLine(std::string_view bytes, wchar_t* out, std::size_t& length) const;
    // The same conversion as a string of its own.
    std::wstring Convert(std::string_view bytes) const {
        std::wstring line(bytes.size(), L'\0');
        line.resize(Convert(bytes, line.data()));
        return line;
    }

private:
    // ConvertLine by a search for the line feed and a conversion of the line as a whole.
    std::size_t ConvertFedLine(std::string_view bytes, wchar_t* out, std::size_t& length) const {
        const std::size_t feed = bytes.find('\n');
        if (feed == std::string_view::npos)
            return 0;
        std::string_view line = bytes.substr(0, feed);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        length = Convert(line, out);
        return feed + 1;
    }
#ifndef _WIN32
    std::size_t WidenAsciiLine(std::string_view bytes, wchar_t* out, std::size_t& length) const;
    std::size_t Decode(std::string_view bytes, wchar_t* out) const;

    bool singleByte = false;
    bool utf8 = false;
    bool asciiKept = false; // bytes below 0x80 are the same characters
    std::array<wchar_t, 256> byteTable{};
#endif
};

} // namespace platform
