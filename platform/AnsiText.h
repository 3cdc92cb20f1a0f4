// Conversion of a line from the calling thread's ANSI code page to wide text. On Windows that is
// CP_THREAD_ACP; on POSIX the character set of the thread's LC_CTYPE locale (the global one when
// the thread has none). Bytes invalid in it become a replacement character.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace platform {

// The lengths of the lines one AnsiLineDecoder::ConvertLines call converted, in order.
struct LineBatch {
    static constexpr std::size_t kMaxLines = 64;
    std::array<std::size_t, kMaxLines> lengths;
    std::size_t count = 0;
};

// The line at the start of some bytes, up to its first line feed and without the carriage
// return of a CR LF end, and the bytes it takes with its line feed; none taken without a feed.
struct FedLine {
    std::string_view text;
    std::size_t taken = 0;
};

inline FedLine FindFedLine(std::string_view bytes) {
    const std::size_t feed = bytes.find('\n');
    if (feed == std::string_view::npos)
        return {};
    std::string_view line = bytes.substr(0, feed);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return {line, feed + 1};
}

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
    // The lines at the start of `bytes` whose line feeds are among them, at most a batch of them,
    // converted as ConvertLine does into `out` (room for bytes.size() characters) one after the
    // other, each followed by a zero; `batch` receives their lengths. Returns the bytes taken.
    std::size_t ConvertLines(std::string_view bytes, wchar_t* out, LineBatch& batch) const {
        batch.count = 0;
        std::size_t taken = 0;
        std::size_t written = 0;
        while (batch.count < LineBatch::kMaxLines) {
#ifndef _WIN32
            if (asciiKept && WidenPlainLines(bytes, out, taken, written, batch))
                break;
#endif
            std::size_t& length = batch.lengths[batch.count];
            const std::size_t took = ConvertLine(bytes.substr(taken), out + written, length);
            if (took == 0)
                break;
            out[written + length] = L'\0';
            ++batch.count;
            taken += took;
            written += length + 1;
        }
        return taken;
    }
    // Whether every byte below 0x80 stands for the character of that code, so that a line of such
    // bytes (no zero among them) converts by widening each byte, whenever that is done.
    bool KeepsAscii() const;
    // The plain ASCII lines at the start of `bytes` (bytes 14 to 127, ended by LF or CR LF), at
    // most a batch of them, copied unconverted into `out` (room for bytes.size()) one after the
    // other, each followed by a zero byte; `batch` receives their lengths. Returns the bytes
    // taken, 0 where the character set does not keep ASCII or the first line is not plain; may
    // leave plain lines near the end of `bytes` untaken.
    std::size_t CopyPlainLines(std::string_view bytes, char* out, LineBatch& batch) const;
    // The same conversion as a string of its own.
    std::wstring Convert(std::string_view bytes) const {
        std::wstring line(bytes.size(), L'\0');
        line.resize(Convert(bytes, line.data()));
        return line;
    }

private:
    // ConvertLine by a search for the line feed and a conversion of the line as a whole.
    std::size_t ConvertFedLine(std::string_view bytes, wchar_t* out, std::size_t& length) const {
        const FedLine line = FindFedLine(bytes);
        if (line.taken != 0)
            length = Convert(line.text, out);
        return line.taken;
    }
#ifndef _WIN32
    // Converts plain ASCII lines from byte `taken` of `bytes` on, across their ends sixteen bytes
    // at a time, into `out` from character `written` on, adding them to `batch` and moving both
    // counts past them. Stops before a line it does not convert whole; true when the batch is full.
    bool WidenPlainLines(std::string_view bytes, wchar_t* out, std::size_t& taken, std::size_t& written,
                         LineBatch& batch) const;
    std::size_t WidenAsciiLine(std::string_view bytes, wchar_t* out, std::size_t& length) const;
    std::size_t Decode(std::string_view bytes, wchar_t* out) const;

    bool singleByte = false;
    bool utf8 = false;
    bool asciiKept = false; // bytes below 0x80 are the same characters
    std::array<wchar_t, 256> byteTable{};
#endif
};

} // namespace platform
