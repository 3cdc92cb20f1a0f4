// Text helpers of the readers of comments and of known points.
#pragma once

#include <cstddef>
#include <cstdint>
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
// hash is a call per lookup. FNV-1a, its high bits folded into the low ones that a table masks.
// Not declared noexcept, so that the standard library's tables keep each name's hash beside it and
// compare hashes before names, rather than hash the names of a bucket again on every lookup.
struct NameHash {
    std::size_t operator()(std::string_view name) const {
        std::uint64_t hash = 14695981039346656037ull;
        for (const char c : name) {
            hash ^= static_cast<unsigned char>(c);
            hash *= 1099511628211ull;
        }
        return static_cast<std::size_t>(hash ^ (hash >> 32));
    }
};

} // namespace survey
