#include "settings/AngleDMSConverter.h"

#include <algorithm>
#include <cwchar>
#include <memory>

CAngleDMSConverter::CAngleDMSConverter(Plugin::IAngleConverter* degrees)
    : degreesConverter(Plugin::RefPtr<Plugin::IAngleConverter>::Share(degrees)) {}

namespace {

constexpr std::size_t kFrameChars = 64;

// The text with a point before the third and before the fifth character after its first point,
// where the text goes on that far; `out` needs room for length + 3 characters.
void InsertPoints(const wchar_t* text, std::size_t length, std::size_t point, wchar_t* out) {
    const std::size_t minutes = std::min(length, point + 3);
    const std::size_t seconds = std::min(length, point + 5);
    out = std::copy(text, text + minutes, out);
    if (length > minutes) {
        *out++ = L'.';
        out = std::copy(text + minutes, text + seconds, out);
    }
    if (length > seconds) {
        *out++ = L'.';
        out = std::copy(text + seconds, text + length, out);
    }
    *out = L'\0';
}

} // namespace

bool CAngleDMSConverter::Convert(const wchar_t* text, double* value) {
    if (text == nullptr || !degreesConverter)
        return false;
    const std::size_t length = std::wcslen(text);
    const wchar_t* point = std::wmemchr(text, L'.', length);
    if (point == nullptr)
        return false;
    // Angle tokens are short: the rewrite goes on the stack, and only a text too long for it
    // on the heap.
    wchar_t frame[kFrameChars];
    std::unique_ptr<wchar_t[]> large;
    wchar_t* rewritten = frame;
    if (length + 3 > kFrameChars) {
        large.reset(new wchar_t[length + 3]);
        rewritten = large.get();
    }
    InsertPoints(text, length, static_cast<std::size_t>(point - text), rewritten);
    return degreesConverter->Convert(rewritten, value);
}
