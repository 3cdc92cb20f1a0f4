#include "platform/AnsiText.h"

#include <clocale>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <langinfo.h>

namespace platform {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;
constexpr std::uint32_t kLastCodePoint = 0x10FFFF;

} // namespace

// MB_CUR_MAX, btowc, mbrtowc and nl_langinfo all answer for the thread's locale as uselocale
// set it, or the global one.
AnsiLineDecoder::AnsiLineDecoder() {
    singleByte = MB_CUR_MAX == 1;
    const char* codeset = nl_langinfo(CODESET);
    utf8 = codeset != nullptr && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
    if (singleByte) {
        for (int byte = 0; byte < 256; ++byte) {
            const wint_t wide = std::btowc(byte);
            byteTable[static_cast<std::size_t>(byte)] =
                wide == WEOF ? kReplacement : static_cast<wchar_t>(wide);
        }
    }
}

// Each byte yields at most one wide character, so `out` needs room for bytes.size().
std::size_t AnsiLineDecoder::Decode(std::string_view bytes, wchar_t* out) const {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const stop = p + bytes.size();
    wchar_t* const first = out;
    if (singleByte) {
        while (p < stop)
            *out++ = byteTable[*p++];
        return static_cast<std::size_t>(out - first);
    }
    std::mbstate_t state{};
    while (p < stop) {
        if (utf8 && *p < 0x80) {
            *out++ = static_cast<wchar_t>(*p++);
            continue;
        }
        wchar_t wide = 0;
        const std::size_t used =
            std::mbrtowc(&wide, reinterpret_cast<const char*>(p), static_cast<std::size_t>(stop - p), &state);
        // glibc's UTF-8 still decodes the old five- and six-byte forms beyond U+10FFFF, which
        // are no characters a host can store; they count as invalid too.
        const bool beyondUnicode = static_cast<std::uint32_t>(wide) > kLastCodePoint;
        if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2) || used == 0 ||
            beyondUnicode) {
            // Invalid or cut short: one replacement for the byte, then start afresh after it.
            *out++ = kReplacement;
            ++p;
            state = std::mbstate_t{};
            continue;
        }
        *out++ = wide;
        p += used;
    }
    return static_cast<std::size_t>(out - first);
}

std::size_t AnsiLineDecoder::Convert(std::string_view bytes, wchar_t* out) const {
    return Decode(bytes.substr(0, bytes.find('\0')), out);
}

} // namespace platform
