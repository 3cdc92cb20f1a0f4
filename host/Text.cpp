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

// The four figures of `value`, below 10^4, as characters in the bytes of a word, the first in the
// lowest byte: the half of EightDigitCharacters that most fractions and elevations need.
std::uint32_t FourDigitCharacters(std::uint32_t value) {
    const std::uint32_t hundreds = value * 5243 >> 19; // value / 100
    const std::uint32_t pairs = hundreds | (value - hundreds * 100) << 16;
    const std::uint32_t tens = (pairs * 103 >> 10) & 0x000F000FU; // lane / 10
    return tens | (pairs - tens * 10) << 8 | 0x30303030U;
}

// The last `count` (1 to 8) of the eight figures of `value`, below 10^`count`, at `out`, and their
// end; eight characters from `out` are written however few the figures.
char* PutLastFigures(char* out, std::uint64_t value, int count) {
    PutWord(out, EightDigitCharacters(static_cast<std::uint32_t>(value)) >> 8 * (8 - count));
    return out + count;
}

// The same for at most four figures, which most fractions and elevations have.
char* PutLastFewFigures(char* out, std::uint64_t value, int count) {
    const std::uint32_t word = FourDigitCharacters(static_cast<std::uint32_t>(value)) >> 8 * (4 - count);
    std::memcpy(out, &word, sizeof word);
    return out + count;
}

// The figures of `whole`, below 10^8, without leading zeros but at least one, at `out`, and their
// end; eight characters from `out` may be written. The leading zeros are counted among the
// characters made, whose figures are their low four bits, rather than from the number.
char* PutWholeFigures(char* out, std::uint64_t whole) {
    constexpr std::uint64_t kFourFigures = 10000;
    if (whole < kFourFigures) {
        // The last figure counts even when it is a zero.
        const std::uint32_t word = FourDigitCharacters(static_cast<std::uint32_t>(whole));
        const int zeros = __builtin_ctz((word & 0x0F0F0F0FU) | 1U << 24) / 8;
        const std::uint32_t figures = word >> 8 * zeros;
        std::memcpy(out, &figures, sizeof figures);
        return out + 4 - zeros;
    }
    const std::uint64_t word = EightDigitCharacters(static_cast<std::uint32_t>(whole));
    const int zeros = __builtin_ctzll(word & 0x0F0F0F0F0F0F0F0FULL) / 8;
    PutWord(out, word >> 8 * zeros);
    return out + 8 - zeros;
}

// The fixed form of an ordinary value made from a whole number of its last places, without the
// general conversion's exact arithmetic, at `room`: returns its end, or null for a value too
// large, too near a halfway point or not finite, which the general conversion gets.
char* PutQuickFixedDecimal(double value, int decimals, char* room) {
    // Either side of the point at most eight figures, each side written as one word.
    constexpr int kMostDecimals = 8;
    constexpr std::uint64_t kMostWhole = 99999999;
    if (decimals < 0 || decimals > kMostDecimals)
        return nullptr;
    const double scaled = std::abs(value) * kExactPowersOfTen[decimals];
    if (!(scaled < kQuickScaledLimit))
        return nullptr;
    // Below the limit and not negative, the conversion truncates to the floor, exactly. Signed,
    // both ways are one instruction; unsigned ones test for the top bit.
    const auto floor = static_cast<std::int64_t>(scaled);
    const double fraction = scaled - static_cast<double>(floor);
    if (std::abs(fraction - 0.5) < kHalfwayMargin)
        return nullptr;
    const std::uint64_t units = static_cast<std::uint64_t>(floor) + (fraction > 0.5 ? 1 : 0);
    const std::uint64_t scale = kWholePowersOfTen[static_cast<std::size_t>(decimals)];
    const std::uint64_t whole = units / scale;
    if (whole > kMostWhole)
        return nullptr;
    // A value that rounds to zero is shown unsigned, as the general form's text is.
    char* out = room;
    if (value < 0 && units != 0)
        *out++ = '-';
    out = PutWholeFigures(out, whole);
    if (decimals == 0)
        return out;
    *out++ = '.';
    const std::uint64_t places = units % scale;
    return decimals <= 4 ? PutLastFewFigures(out, places, decimals) : PutLastFigures(out, places, decimals);
}

// Every character that makes a field quoted lies below this one, and most names and codes have
// none there: such a field is copied four characters at a time without a look-up of each.
constexpr unsigned char kFirstPlainByte = ',' + 1;
constexpr bool NoneQuotedFrom(unsigned first) {
    for (unsigned c = first; c < kCsvQuoted.size(); ++c) {
        if (kCsvQuoted[c])
            return false;
    }
    return true;
}
static_assert(NoneQuotedFrom(kFirstPlainByte));

// Whether any of the four bytes of `word` is below kFirstPlainByte. A byte's borrow reaches the
// next byte only from a byte that is below, so the answer is exact.
bool AnyByteBelowPlain(std::uint32_t word) {
    constexpr std::uint32_t kOnes = 0x01010101U;
    return ((word - kOnes * kFirstPlainByte) & ~word & kOnes * 0x80U) != 0;
}

// A field of at least four characters none of which is below kFirstPlainByte, copied in words
// whose last overlaps the one before it: false, with `at` partly written, for any other field.
bool PutPlainCsvWords(char* at, std::string_view field) {
    constexpr std::size_t kWord = sizeof(std::uint32_t);
    if (field.size() < kWord)
        return false;
    const std::size_t lastWord = field.size() - kWord;
    for (std::size_t i = 0;; i = std::min(i + kWord, lastWord)) {
        const auto word = LoadWord<std::uint32_t>(field.data() + i);
        if (AnyByteBelowPlain(word))
            return false;
        std::memcpy(at + i, &word, sizeof word);
        if (i == lastWord)
            return true;
    }
}

// A CSV field in quotes, its quotes doubled.
char* PutQuotedCsvField(char* at, std::string_view field) {
    *at++ = '"';
    for (const char c : field) {
        if (c == '"')
            *at++ = '"';
        *at++ = c;
    }
    *at++ = '"';
    return at;
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
    if (const char* end = PutQuickFixedDecimal(value, decimals, room))
        return {room, static_cast<std::size_t>(end - room)};
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

namespace {

// The values the quick form leaves, apart: the quick one then saves no registers for a call.
[[gnu::noinline]] char* PutGeneralFixedDecimal(double value, int decimals, char* room) {
    const std::string_view text = FixedDecimal(value, decimals, room);
    // Only an unsigned zero is shifted: its minus sign was dropped in place.
    if (text.data() != room)
        std::memmove(room, text.data(), text.size());
    return room + text.size();
}

} // namespace

char* PutFixedDecimal(double value, int decimals, char* room) {
    if (char* end = PutQuickFixedDecimal(value, decimals, room))
        return end;
    return PutGeneralFixedDecimal(value, decimals, room);
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
    const std::size_t start = line.size();
    line.resize(start + CsvFieldRoom(field));
    line.resize(static_cast<std::size_t>(PutCsvField(&line[start], field) - line.data()));
}

char* PutCsvField(char* at, std::string_view field) {
    if (PutPlainCsvWords(at, field))
        return at + field.size();
    // Copied as it is checked: few fields need quotes, and those start again quoted.
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (kCsvQuoted[static_cast<unsigned char>(field[i])])
            return PutQuotedCsvField(at, field);
        at[i] = field[i];
    }
    return at + field.size();
}

} // namespace host
