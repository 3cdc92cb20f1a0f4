#include "settings/AngleDMSConverter.h"

#include <cstddef>
#include <cwchar>
#include <memory>

CAngleDMSConverter::CAngleDMSConverter(Plugin::IAngleConverter* degrees)
    : degreesConverter(Plugin::RefPtr<Plugin::IAngleConverter>::Share(degrees)) {}

namespace {

constexpr std::size_t kFrameChars = 64;

// The text with a point before the third and before the fifth character after its first point,
// where the text goes on that far; `out` needs room for length + 3 characters.
void InsertPoints(const wchar_t* text, std::size_t length, std::size_t point, wchar_t* out) {
    const std::size_t minutes = point + 3;
    const std::size_t seconds = point + 5;
    for (std::size_t i = 0; i < length; ++i) {
        if (i == minutes || i == seconds)
            *out++ = L'.';
        *out++ = text[i];
    }
    *out = L'\0';
}

// The rewrite for a text too long for the frame, on the heap; false when it has no point.
bool RewriteLong(const wchar_t* text, std::unique_ptr<wchar_t[]>& rewritten) {
    const std::size_t length = std::wcslen(text);
    const wchar_t* point = std::wmemchr(text, L'.', length);
    if (point == nullptr)
        return false;
    rewritten.reset(new wchar_t[length + 3]);
    InsertPoints(text, length, static_cast<std::size_t>(point - text), rewritten.get());
    return true;
}

// Copies `text` into `out` with the points set in, in the one pass that also looks for the
// first point; null when the text has no point, `overflow` when the text needs more than
// kFrameChars characters.
const wchar_t* RewriteInFrame(const wchar_t* text, wchar_t (&out)[kFrameChars], bool& overflow) {
    // Room for the point, the minutes and seconds, their two points and the zero.
    constexpr std::size_t kDegreesRoom = kFrameChars - 8;
    std::size_t i = 0;
    for (;; ++i) {
        const wchar_t c = text[i];
        // Digits lie above both the point and the zero: one comparison passes them.
        if (c <= L'.') {
            if (c == L'.')
                break;
            if (c == L'\0')
                return nullptr;
        }
        if (i == kDegreesRoom) {
            overflow = true;
            return nullptr;
        }
        out[i] = c;
    }
    out[i] = L'.';
    wchar_t* o = out + i + 1;
    const wchar_t* p = text + i + 1;
    // Minutes, then seconds: two characters each, each part after the first set off by a point.
    for (int part = 0; part < 2; ++part) {
        if (*p == L'\0')
            break;
        if (part > 0)
            *o++ = L'.';
        *o++ = *p++;
        if (*p != L'\0')
            *o++ = *p++;
    }
    if (*p != L'\0')
        *o++ = L'.';
    for (const wchar_t* const end = out + kFrameChars - 1; *p != L'\0'; ++p) {
        if (o == end) {
            overflow = true;
            return nullptr;
        }
        *o++ = *p;
    }
    *o = L'\0';
    return out;
}

} // namespace

bool CAngleDMSConverter::Convert(const wchar_t* text, double* value) {
    if (text == nullptr || !degreesConverter)
        return false;
    // Angle tokens are short: the rewrite goes on the stack, and only a text too long for it
    // on the heap, out of the way of the common path.
    wchar_t frame[kFrameChars];
    bool overflow = false;
    if (const wchar_t* rewritten = RewriteInFrame(text, frame, overflow))
        return degreesConverter->Convert(rewritten, value);
    return overflow && ConvertLong(text, value);
}

#if defined(__GNUC__)
__attribute__((noinline))
#endif
bool CAngleDMSConverter::ConvertLong(const wchar_t* text, double* value) {
    std::unique_ptr<wchar_t[]> large;
    return RewriteLong(text, large) && degreesConverter->Convert(large.get(), value);
}
