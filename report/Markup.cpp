#include "report/Markup.h"

#include "host/Text.h"

#include <sstream>

namespace report {
namespace {

const char* ReferenceFor(char c) {
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '"':
        return "&quot;";
    case '\'':
        return "&#39;";
    default:
        break;
    }
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\t' && c != '\n') || byte == 0x7F)
        return "\xEF\xBF\xBD";
    return nullptr;
}

} // namespace

void WriteEscaped(std::ostream& out, std::string_view text) {
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char* reference = ReferenceFor(text[i]);
        if (!reference)
            continue;
        out.write(text.data() + runStart, static_cast<std::streamsize>(i - runStart));
        out << reference;
        runStart = i + 1;
    }
    out.write(text.data() + runStart, static_cast<std::streamsize>(text.size() - runStart));
}

std::string Escaped(std::string_view text) {
    std::ostringstream out;
    WriteEscaped(out, text);
    return out.str();
}

std::string PlanNumber(double value) {
    std::string number = host::FixedDecimal(value, 3);
    if (number.find('.') == std::string::npos)
        return number; // not finite: there are no decimals to trim
    while (number.back() == '0')
        number.pop_back();
    if (number.back() == '.')
        number.pop_back();
    if (number == "-0")
        number = "0";
    return number;
}

} // namespace report
