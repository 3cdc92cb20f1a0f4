// Texts written through a RapidJSON writer in one block each. The writer places a value
// (separator, indentation) when given it as raw JSON of no characters; the text's bytes then
// go to the same buffer at once, which spares the library's character-by-character copying.
// Texts that need escapes still go through the library's escaping.
#pragma once

#include "host/BufferedOutput.h"
#include "host/Text.h"

#include <rapidjson/rapidjson.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace host {

// The bytes JSON escapes: control characters, the quote and the backslash. Looked up in a
// table, a text costs a load a byte; names, codes and messages are written by the hundred thousand.
constexpr std::array<bool, 256> JsonEscapedBytes() {
    std::array<bool, 256> escaped{};
    for (std::size_t c = 0; c < 0x20; ++c)
        escaped[c] = true;
    escaped['"'] = escaped['\\'] = true;
    return escaped;
}
inline constexpr std::array<bool, 256> kJsonEscapedBytes = JsonEscapedBytes();

inline bool NeedsJsonEscapes(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return kJsonEscapedBytes[static_cast<unsigned char>(c)]; });
}

#if defined(__SSE2__)

namespace json_text {

// Sixteen bytes tested at once for those that need escapes; bytes from 0x80 up, UTF-8's, never do.
inline bool EscapesIn(__m128i bytes) {
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(0x1F)), bytes);
    const __m128i quote = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('"'));
    const __m128i backslash = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\\'));
    return _mm_movemask_epi8(_mm_or_si128(control, _mm_or_si128(quote, backslash))) != 0;
}

// Copies the first and the last sizeof(Word) bytes of a text of one to two words, which covers
// it whole, and returns them side by side: every lane of the test holds one of its bytes.
template <class Word> __m128i CopyEnds(char* to, const char* from, std::size_t size) {
    const Word first = LoadWord<Word>(from);
    const Word last = LoadWord<Word>(from + size - sizeof(Word));
    std::memcpy(to, &first, sizeof first);
    std::memcpy(to + size - sizeof(Word), &last, sizeof last);
    if constexpr (sizeof(Word) == 8)
        return _mm_set_epi64x(static_cast<long long>(last), static_cast<long long>(first));
    else {
        std::uint64_t joined = first | std::uint64_t{last} << (8 * sizeof(Word));
        if constexpr (sizeof(Word) < 4)
            joined |= joined << 32;
        return _mm_set1_epi64x(static_cast<long long>(joined));
    }
}

} // namespace json_text

// Copies the text to `to`, which has room for it, sixteen bytes at a time at most and never
// reading past its end, and tells whether some of its bytes need escapes, as NeedsJsonEscapes does.
inline bool CopyJsonText(char* to, std::string_view text) {
    using namespace json_text;
    const char* const from = text.data();
    const std::size_t size = text.size();
    if (size >= 16) {
        bool escapes = false;
        for (std::size_t at = 0; at + 16 < size; at += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + at));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + at), bytes);
            escapes |= EscapesIn(bytes);
        }
        const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + size - 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + size - 16), last);
        return escapes || EscapesIn(last);
    }
    if (size >= 8)
        return EscapesIn(CopyEnds<std::uint64_t>(to, from, size));
    if (size >= 4)
        return EscapesIn(CopyEnds<std::uint32_t>(to, from, size));
    if (size >= 2)
        return EscapesIn(CopyEnds<std::uint16_t>(to, from, size));
    if (size == 1) {
        *to = *from;
        return EscapesIn(_mm_set1_epi8(*from));
    }
    return false;
}

#else

inline bool CopyJsonText(char* to, std::string_view text) {
    if (!text.empty())
        std::memcpy(to, text.data(), text.size());
    return NeedsJsonEscapes(text);
}

#endif

// `json` writes to `out`.
template <class Writer> void WriteJsonText(Writer& json, BufferedOutput& out, std::string_view text) {
    if (NeedsJsonEscapes(text)) {
        json.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
        return;
    }
    json.RawValue("", 0, rapidjson::kStringType);
    out.Put('"');
    out.Write(text);
    out.Put('"');
}

} // namespace host
