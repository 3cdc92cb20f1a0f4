// Wide text to UTF-8: file names on POSIX, and every tool's output.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// One code point; a surrogate or a value past U+10FFFF becomes U+FFFD, so the result is
// always valid UTF-8 and no character is dropped.
inline void AppendUtf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Wide text is UTF-32 on POSIX and UTF-16 on Windows, where surrogate pairs are joined first.
inline void AppendUtf8(std::string& out, std::wstring_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                              text[i + 1] <= 0xDFFF;
            if (pair) {
                c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
                ++i;
            }
        }
        AppendUtf8(out, c);
    }
}

// Bytes of a POSIX file name that are not UTF-8 travel in wide text as U+DC80 to U+DCFF, one
// per byte, as many runtimes carry them, so that every name reads back to its own bytes. No
// UTF-8 text holds these code points, so the escape cannot be mistaken for a character.
constexpr char32_t kEscapedByteBase = 0xDC00;

inline bool IsEscapedByte(char32_t c) {
    return c >= kEscapedByteBase + 0x80 && c <= kEscapedByteBase + 0xFF;
}

// Wide text to the bytes of a POSIX file name: UTF-8, with each escaped byte as itself.
inline std::string EncodeFileName(std::wstring_view name) {
    std::string out;
    out.reserve(name.size());
    for (const wchar_t w : name) {
        const auto c = static_cast<char32_t>(w);
        if (IsEscapedByte(c))
            out += static_cast<char>(c - kEscapedByteBase);
        else
            AppendUtf8(out, c);
    }
    return out;
}

inline std::string EncodeUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    AppendUtf8(out, text);
    return out;
}

} // namespace platform
