// Text helpers of the readers of comments and of known points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace survey {

inline std::string_view Trimmed(std::string_view text) {
    constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}

// The one reader of numbers that people and files give: an optional sign, digits with at most one
// decimal point (at least one digit), and an optional exponent; nothing else, not even spaces.
// Locale-free. A number beyond the range of a double is none.
std::optional<double> ReadNumber(std::string_view text);

// The value with `decimals` after the point, locale-free; a plus sign before a positive one when
// `sign` asks for it.
std::string FixedText(double value, int decimals, bool sign = false);

// A small angle for the diagnostics: signed seconds with one decimal (+12.3"), or degrees for a
// blunder past one (+1.2345°).
std::string SecondsText(double radians);

// The hash of a point name for the reduction's tables, inline: names are short, and the library's
// hash is a call per lookup. Read a word at a time, not a byte: a name of up to eight characters is
// covered whole by two overlapping loads, so that names of one length differ in the word mixed.
// The tables that use it are never walked, so it decides no order.
struct NameHash {
    std::size_t operator()(std::string_view name) const {
        const char* at = name.data();
        std::size_t left = name.size();
        std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ left;
        for (; left > 8; left -= 8, at += 8)
            hash = Mixed(hash ^ Loaded<std::uint64_t>(at));
        const std::uint64_t hashed = Mixed(hash ^ Tail(at, left));
        return static_cast<std::size_t>(hashed ^ (hashed >> 32));
    }

private:
    template <class Word> static Word Loaded(const char* at) {
        Word word;
        std::memcpy(&word, at, sizeof word);
        return word;
    }

    // The last one to eight characters as one word, or 0 for none.
    static std::uint64_t Tail(const char* at, std::size_t size) {
        if (size >= 4)
            return Loaded<std::uint32_t>(at) | std::uint64_t{Loaded<std::uint32_t>(at + size - 4)} << 32;
        if (size == 0)
            return 0;
        const auto byte = [at](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(at[i])}; };
        return byte(0) | byte(size / 2) << 8 | byte(size - 1) << 16;
    }

    // A bijection whose every output bit depends on every input bit (MurmurHash3's finaliser).
    static std::uint64_t Mixed(std::uint64_t value) {
        value = (value ^ (value >> 33)) * 0xFF51AFD7ED558CCDull;
        value = (value ^ (value >> 33)) * 0xC4CEB9FE1A85EC53ull;
        return value ^ (value >> 33);
    }
};

} // namespace survey
