// Text helpers of the host: the module speaks wide text, the host writes UTF-8.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
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

// 10^0 to 10^19, every power of ten a 64-bit whole number holds.
constexpr std::array<std::uint64_t, 20> WholePowersOfTen() {
    std::array<std::uint64_t, 20> powers{};
    powers[0] = 1;
    for (std::size_t i = 1; i < powers.size(); ++i)
        powers[i] = powers[i - 1] * 10;
    return powers;
}
inline constexpr std::array<std::uint64_t, 20> kWholePowersOfTen = WholePowersOfTen();

// How many figures `value` has without leading zeros (none for zero).
inline int DigitCount(std::uint64_t value) {
    // log10(2) is close to 1233 / 4096: a guess from the bit length, one below at most.
    const int bits = 64 - __builtin_clzll(value | 1);
    const int guess = bits * 1233 >> 12;
    return guess + (value >= kWholePowersOfTen[static_cast<std::size_t>(guess)]);
}

// The eight digits of `value`, below 10^8, as characters in the bytes of a word, the first in the
// lowest byte: split into pairs and then digits in parallel lanes, rather than a division each.
inline std::uint64_t EightDigitCharacters(std::uint32_t value) {
    const std::uint64_t fours = value / 10000 | std::uint64_t{value % 10000} << 32;
    const std::uint64_t hundreds = (fours * 10486 >> 20) & 0x0000007F0000007FULL; // lane / 100
    const std::uint64_t pairs = hundreds | (fours - hundreds * 100) << 16;
    const std::uint64_t tens = (pairs * 103 >> 10) & 0x000F000F000F000FULL; // lane / 10
    return tens | (pairs - tens * 10) << 8 | 0x3030303030303030ULL;
}

// The word at `from`, in the machine's byte order, read without a care for its alignment.
template <class Word> Word LoadWord(const char* from) {
    Word word;
    std::memcpy(&word, from, sizeof word);
    return word;
}

// The word's bytes from the lowest, whatever the machine's byte order: one store where the order
// is already that.
inline void PutWord(char* at, std::uint64_t word) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    std::memcpy(at, &word, sizeof word);
#else
    for (int byte = 0; byte < 8; ++byte)
        at[byte] = static_cast<char>(word >> 8 * byte);
#endif
}

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
// The same field at `at`, which must have room for CsvFieldRoom(field) characters: returns its end.
constexpr std::size_t CsvFieldRoom(std::string_view field) {
    return 2 * field.size() + 2;
}
char* PutCsvField(char* at, std::string_view field);

} // namespace host
