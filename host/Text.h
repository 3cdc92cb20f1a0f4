// Text helpers of the host: the module speaks wide text, the host writes UTF-8.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace host {

// UTF-32 (POSIX) or UTF-16 (Windows) to UTF-8; an invalid code point becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);
// UTF-8 to wide text; each invalid byte becomes U+FFFD.
std::wstring FromUtf8(std::string_view text);
// A POSIX file name's bytes to wide text without loss: each byte that is not part of valid
// UTF-8 becomes U+DC80 to U+DCFF, which the module's file layer turns back into that byte.
// Shown with ToUtf8, such a byte reads as U+FFFD.
std::wstring FileNameFromBytes(std::string_view name);

// The powers of ten a double holds exactly, and the significant digits a double always keeps:
// a whole number of that many digits and such a power are both exact, so their quotient or
// product is rounded once, as a decimal's exact value is.
inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr int kDigitsKept = 15;

// "00" to "99", for writing figures two at a time.
constexpr std::array<char, 200> DigitPairs() {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}
inline constexpr std::array<char, 200> kDigitPairs = DigitPairs();

// The shortest decimal text that reads back as exactly the same value.
std::string ShortestDecimal(double value);
std::string ShortestDecimal(float value);
// Fixed-point text with `decimals` digits after the point, independent of the locale.
std::string FixedDecimal(double value, int decimals);
// The same text in `room`, which must hold kFixedDecimalRoom characters: for writers that put
// out a number in every cell. Any double fits with up to 80 decimals.
constexpr std::size_t kFixedDecimalRoom = 400;
std::string_view FixedDecimal(double value, int decimals, char* room);
// The same text at the start of `room`, for writers that put numbers one after another: returns
// the end of the text.
char* PutFixedDecimal(double value, int decimals, char* room);

// A character set's name as a key: lower case, letters and digits only, so that "CP-1251" and
// "cp1251" name the same set, as glibc and Windows both take them.
std::string CharsetKey(std::string_view name);

// The characters that make a CSV field quoted: a separator, a quote or a line end.
constexpr std::array<bool, 256> CsvQuotedCharacters() {
    std::array<bool, 256> quoted{};
    for (const unsigned char c : {',', '"', '\r', '\n'})
        quoted[c] = true;
    return quoted;
}
inline constexpr std::array<bool, 256> kCsvQuoted = CsvQuotedCharacters();

// Whether a CSV field holds a separator, a quote or a line end, and so must be quoted. Asked of
// every name and code a writer puts out: inline, one look-up a character.
inline bool NeedsCsvQuotes(std::string_view field) {
    for (const char c : field) {
        if (kCsvQuoted[static_cast<unsigned char>(c)])
            return true;
    }
    return false;
}
// Appends one CSV field, quoted only when it holds a separator, a quote or a line end, with its
// quotes doubled.
void AppendCsvField(std::string& line, std::string_view field);

} // namespace host
