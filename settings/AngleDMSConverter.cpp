#include "settings/AngleDMSConverter.h"

#include <algorithm>
#include <cwchar>
#include <string>

CAngleDMSConverter::CAngleDMSConverter(Plugin::IAngleConverter* degrees)
    : degreesConverter(Plugin::RefPtr<Plugin::IAngleConverter>::Share(degrees)) {}

std::wstring CAngleDMSConverter::SplitMinutesAndSeconds(const wchar_t* text) {
    std::wstring rewritten(text);
    const std::size_t point = rewritten.find(L'.');
    if (point == std::wstring::npos)
        return {};
    const std::size_t after = rewritten.size() - point - 1;
    if (after > 2)
        rewritten.insert(point + 3, 1, L'.');
    if (after > 4)
        rewritten.insert(point + 6, 1, L'.');
    return rewritten;
}

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
    // Angle tokens are short: they are rewritten on the stack, longer texts on the heap.
    if (length + 3 <= kFrameChars) {
        wchar_t frame[kFrameChars];
        InsertPoints(text, length, static_cast<std::size_t>(point - text), frame);
        return degreesConverter->Convert(frame, value);
    }
    const std::wstring rewritten = SplitMinutesAndSeconds(text);
    return degreesConverter->Convert(rewritten.c_str(), value);
}
