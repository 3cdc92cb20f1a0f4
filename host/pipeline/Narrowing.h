// Wide texts narrowed to bytes in one pass that also tells whether every character was ASCII,
// as almost every name and code is: the packed file and the sink narrow them so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace host {

// Copies `text` to `to` as narrow characters in one pass, whatever they are: whether every one
// was ASCII is known only at the end, and otherwise the copy is written over.
inline bool NarrowedAsciiByUnit(std::wstring_view text, char* to) {
    std::uint32_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        seen |= static_cast<std::uint32_t>(text[i]);
        to[i] = static_cast<char>(text[i]);
    }
    return seen < 0x80;
}

#if defined(__SSE2__) && WCHAR_MAX > 0xFFFF
// Four wide characters narrowed at `to`, their bits gathered into `seen`. The saturating packs
// keep every ASCII character as it is; whatever they make of any other is written over.
inline void NarrowFour(const wchar_t* from, char* to, __m128i& seen) {
    const __m128i wide = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    seen = _mm_or_si128(seen, wide);
    const __m128i halves = _mm_packs_epi32(wide, wide);
    const auto four = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(halves, halves)));
    std::memcpy(to, &four, sizeof four);
}

// As NarrowedAsciiByUnit, four characters a step, the last four narrowed as a step of their own
// over some already narrowed, so that no text of four or more takes a step a character. Inline
// where names are narrowed one by one, where a call would cost a good part of what it does.
[[gnu::always_inline]] inline bool NarrowedAscii(std::wstring_view text, char* to) {
    constexpr std::size_t kStep = 4;
    if (text.size() < kStep)
        return NarrowedAsciiByUnit(text, to);
    __m128i seen = _mm_setzero_si128();
    for (std::size_t i = 0; i + kStep < text.size(); i += kStep)
        NarrowFour(text.data() + i, to + i, seen);
    NarrowFour(text.data() + text.size() - kStep, to + text.size() - kStep, seen);
    const __m128i beyondAscii = _mm_andnot_si128(_mm_set1_epi32(0x7F), seen);
    return _mm_movemask_epi8(_mm_cmpeq_epi32(beyondAscii, _mm_setzero_si128())) == 0xFFFF;
}
#else
inline bool NarrowedAscii(std::wstring_view text, char* to) {
    return NarrowedAsciiByUnit(text, to);
}
#endif

} // namespace host
