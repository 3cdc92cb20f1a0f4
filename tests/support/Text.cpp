#include "tests/support/Text.h"

#include "platform/Utf8.h"

#include <cstdint>
#include <cwchar>

namespace testsupport {

std::string Utf8(std::wstring_view text) {
    return platform::EncodeUtf8(text);
}

std::wstring FromUtf8(std::string_view text) {
    std::wstring wide;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        std::uint32_t code = extra == 0 ? lead : lead & (0x3Fu >> extra);
        ++i;
        for (int k = 0; k < extra && i < text.size(); ++k, ++i)
            code = (code << 6) | (static_cast<unsigned char>(text[i]) & 0x3Fu);
        wide += static_cast<wchar_t>(code);
    }
    return wide;
}

bool ReadNumber(const wchar_t* text, double& value) {
    if (*text == L'\0')
        return false;
    wchar_t* end = nullptr;
    const double read = std::wcstod(text, &end);
    if (end == text || *end != L'\0')
        return false;
    value = read;
    return true;
}

std::optional<double> ReadNumber(const std::wstring& text) {
    double value = 0.0;
    return ReadNumber(text.c_str(), value) ? std::optional<double>(value) : std::nullopt;
}

std::vector<std::string> Without(const std::vector<std::string>& log,
                                 std::initializer_list<const char*> prefixes) {
    std::vector<std::string> kept;
    for (const std::string& call : log) {
        bool drop = false;
        for (const char* prefix : prefixes)
            drop = drop || call.rfind(prefix, 0) == 0;
        if (!drop)
            kept.push_back(call);
    }
    return kept;
}

} // namespace testsupport
