#include "host/Text.h"

#include "platform/Utf8.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
#include <system_error>

namespace host {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

void AppendWide(std::wstring& out, char32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (c >> 10));
            out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(c);
}

// The length of the UTF-8 sequence led by `lead` and the bits it carries; 0 for a bad lead.
int SequenceLength(unsigned char lead, char32_t& bits) {
    if (lead < 0x80) {
        bits = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        bits = lead & 0x1F;
        return 2;
    }
    if ((lead & 0xF0) == 0xE0) {
        bits = lead & 0x0F;
        return 3;
    }
    if ((lead & 0xF8) == 0xF0) {
        bits = lead & 0x07;
        return 4;
    }
    return 0;
}

bool IsShortestForm(char32_t c, int length) {
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    return c >= kLeast[length] && c <= 0x10FFFF && !IsSurrogate(c);
}

template <class T> std::string Shortest(T value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// Decodes UTF-8; each byte that is not part of a valid sequence becomes `invalid(byte)`.
template <class Invalid> std::wstring Decode(std::string_view text, Invalid invalid) {
    std::wstring out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t c = 0;
        const int length = SequenceLength(static_cast<unsigned char>(text[i]), c);
        bool valid = length > 0 && i + static_cast<std::size_t>(length) <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        if (valid && IsShortestForm(c, length)) {
            AppendWide(out, c);
            i += static_cast<std::size_t>(length);
        } else {
            AppendWide(out, invalid(static_cast<unsigned char>(text[i])));
            ++i;
        }
    }
    return out;
}

// The scaled value below 2^42 is within 2^-12 of its exact product, so its rounding to a whole
// number is that of the exact value unless its fraction lies within this margin of a half.
constexpr double kQuickScaledLimit = 4398046511104.0;
constexpr double kHalfwayMargin = 1e-3;

// The four figures of `n` below 10000, leading zeros too, at `at`.
void PutFourFigures(std::uint32_t n, char* at) {
    std::memcpy(at, &kDigitPairs[2 * (n / 100)], 2);
    std::memcpy(at + 2, &kDigitPairs[2 * (n % 100)], 2);
}

// The figures of `n` below 10000 without leading zeros: 1 to 4.
int FigureCount(std::uint32_t n) {
    return 1 + (n >= 10) + (n >= 100) + (n >= 1000);
}

// The fixed form of an ordinary value made from a whole number of its last places, without the
// general conversion's exact arithmetic; nothing for a value too large, too near a halfway point
// or not finite, which the general conversion gets.
std::optional<std::string_view> QuickFixedDecimal(double value, int decimals, char* room) {
    if (decimals < 0 || decimals >= static_cast<int>(std::size(kExactPowersOfTen)))
        return std::nullopt;
    const double scaled = std::abs(value) * kExactPowersOfTen[decimals];
    if (!(scaled < kQuickScaledLimit))
        return std::nullopt;
    // Below the limit and not negative, the conversion truncates to the floor, exactly.
    const auto whole = static_cast<std::uint64_t>(scaled);
    const double fraction = scaled - static_cast<double>(whole);
    if (std::abs(fraction - 0.5) < kHalfwayMargin)
        return std::nullopt;
    auto units = whole + (fraction > 0.5 ? 1 : 0);
    // A value that rounds to zero is shown unsigned, as the general form's text is.
    char* out = room;
    if (value < 0 && units != 0)
        *out++ = '-';
    // The figures are written from the middle of a run of zeros backwards, four at a time, and
    // copied out either side of the point as fixed-size runs, of which only what the text needs is
    // kept: at most 13 figures and 22 decimals, within both the run and the room.
    constexpr std::ptrdiff_t kRun = 32;
    char figures[2 * kRun];
    std::memset(figures, '0', sizeof figures);
    char* const end = figures + kRun;
    char* first = end;
    for (; units >= 10000; units /= 10000) {
        first -= 4;
        PutFourFigures(static_cast<std::uint32_t>(units % 10000), first);
    }
    PutFourFigures(static_cast<std::uint32_t>(units), first - 4);
    first -= FigureCount(static_cast<std::uint32_t>(units));
    first = std::min(first, end - decimals - 1);
    const std::ptrdiff_t wholeFigures = end - first - decimals;
    std::memcpy(out, first, kRun);
    out += wholeFigures;
    if (decimals > 0) {
        std::memcpy(out + 1, first + wholeFigures, kRun);
        *out = '.';
        out += 1 + decimals;
    }
    return std::string_view(room, static_cast<std::size_t>(out - room));
}

} // namespace

std::wstring FromUtf8(std::string_view text) {
    return Decode(text, [](unsigned char) { return kReplacement; });
}

std::string ToUtf8(std::wstring_view text) {
    return platform::EncodeUtf8(text);
}

std::wstring FileNameFromBytes(std::string_view name) {
    return Decode(name, [](unsigned char byte) { return platform::kEscapedByteBase + byte; });
}

std::string ShortestDecimal(double value) {
    return Shortest(value);
}
std::string ShortestDecimal(float value) {
    return Shortest(value);
}

std::string FixedDecimal(double value, int decimals) {
    char room[kFixedDecimalRoom];
    return std::string(FixedDecimal(value, decimals, room));
}

std::string_view FixedDecimal(double value, int decimals, char* room) {
    if (const auto quick = QuickFixedDecimal(value, decimals, room))
        return *quick;
    const auto result =
        std::to_chars(room, room + kFixedDecimalRoom, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc())
        return {room,
                static_cast<std::size_t>(std::to_chars(room, room + kFixedDecimalRoom, value).ptr - room)};
    std::string_view text(room, static_cast<std::size_t>(result.ptr - room));
    // "-0.000" reads as a sign error to people; a value that rounds to zero is shown unsigned.
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string_view::npos)
        text.remove_prefix(1);
    return text;
}

char* PutFixedDecimal(double value, int decimals, char* room) {
    const std::string_view text = FixedDecimal(value, decimals, room);
    // Only an unsigned zero is shifted: its minus sign was dropped in place.
    if (text.data() != room)
        std::memmove(room, text.data(), text.size());
    return room + text.size();
}

std::string CharsetKey(std::string_view name) {
    std::string key;
    for (unsigned char c : name) {
        if (std::isalnum(c))
            key += static_cast<char>(std::tolower(c));
    }
    return key;
}

void AppendCsvField(std::string& line, std::string_view field) {
    if (!NeedsCsvQuotes(field)) {
        line += field;
        return;
    }
    line += '"';
    for (char c : field) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

} // namespace host
