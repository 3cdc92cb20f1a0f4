#include "settings/AngleDMSConverter.h"

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

bool CAngleDMSConverter::Convert(const wchar_t* text, double* value) {
    if (text == nullptr || !degreesConverter)
        return false;
    const std::wstring rewritten = SplitMinutesAndSeconds(text);
    if (rewritten.empty())
        return false;
    return degreesConverter->Convert(rewritten.c_str(), value);
}
