#include "exchange/CadDrawing.h"

#include "survey/Survey.h"

#include "exchange/Formats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace exchange {
namespace {

constexpr std::size_t kMaxLayerBytes = 255;
constexpr std::size_t kMaxGroupBytes = 250; // a longer MTEXT text goes in chunks
constexpr std::string_view kForbiddenInLayers = "<>/\\\":;?*|=`,";

struct CadUnit {
    survey::LengthUnit unit;
    int insUnits;
};
constexpr CadUnit kCadUnits[] = {{survey::LengthUnit::Metre, 6},
                                 {survey::LengthUnit::InternationalFoot, 2},
                                 {survey::LengthUnit::UsSurveyFoot, 21}};

std::string UpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

bool Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The text cut to at most `bytes`, never inside a UTF-8 character.
std::string CutUtf8(std::string text, std::size_t bytes) {
    if (text.size() <= bytes)
        return text;
    std::size_t end = bytes;
    while (end > 0 && Continuation(text[end]))
        --end;
    text.resize(end);
    return text;
}

std::string LayerCharacters(const std::string& code) {
    std::string name = code;
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || kForbiddenInLayers.find(c) != std::string_view::npos)
            c = '_';
    }
    return name;
}

std::string TrimmedLine(const std::string& line) {
    return line.empty() || line.back() != '\r' ? line : line.substr(0, line.size() - 1);
}

// MTEXT text in group 3 chunks and a last group 1, cut between characters.
void AppendMText(std::vector<std::string>& lines, const std::string& text, const std::string& ending) {
    std::string rest = text;
    while (rest.size() > kMaxGroupBytes) {
        const std::string chunk = CutUtf8(rest, kMaxGroupBytes);
        lines.push_back("  3" + ending);
        lines.push_back(chunk + ending);
        rest.erase(0, chunk.size());
    }
    lines.push_back("  1" + ending);
    lines.push_back(rest + ending);
}

} // namespace

CadLayerNames::CadLayerNames(const std::vector<std::string>& taken) {
    for (const std::string& name : taken)
        m_taken.insert(UpperAscii(name));
}

const std::string& CadLayerNames::For(const std::string& code) {
    const auto known = m_byCode.find(code);
    if (known != m_byCode.end())
        return known->second;
    const std::string base = LayerCharacters(code);
    std::string name = CutUtf8(base, kMaxLayerBytes);
    for (int number = 2; m_taken.count(UpperAscii(name)) != 0; ++number) {
        const std::string suffix = "~" + std::to_string(number);
        name = CutUtf8(base, kMaxLayerBytes - suffix.size()) + suffix;
    }
    m_taken.insert(UpperAscii(name));
    return m_byCode.emplace(code, name).first->second;
}

std::string MTextEscaped(std::string_view text) {
    std::string escaped;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const char c = text[index];
        if (c == '\\' || c == '{' || c == '}')
            escaped += '\\';
        escaped += c;
        if (c == '^')
            escaped += ' '; // a caret and a space are a caret; a caret and a letter a control character
        // %%c, %%d and %%p are symbols: an empty group between the signs keeps them two signs
        if (c == '%' && index + 1 < text.size() && text[index + 1] == '%')
            escaped += "{}";
    }
    return escaped;
}

int CadUnitsCode(double metresPerUnit) {
    for (const CadUnit& unit : kCadUnits) {
        if (std::fabs(survey::MetresPer(unit.unit) - metresPerUnit) < 1e-9)
            return unit.insUnits;
    }
    return 0;
}

std::map<std::string, std::string> DrawingHeader(double metresPerUnit, double markSize) {
    const int units = CadUnitsCode(metresPerUnit);
    char size[32];
    std::snprintf(size, sizeof size, "%.9g", markSize);
    // AutoCAD 2007 and later read every text of a DXF as UTF-8, whatever its code page says.
    return {{"$ACADVER", "AC1021"},
            {"$INSUNITS", std::to_string(units)},
            {"$MEASUREMENT", units == 6 || units == 0 ? "1" : "0"},
            {"$PDMODE", "3"}, // a cross: the default dot is lost among the lines
            {"$PDSIZE", size}};
}

std::string FinishedDrawing(std::string_view drawing, const DrawingFinish& finish) {
    std::vector<std::string> lines;
    while (!drawing.empty()) {
        const std::size_t end = std::min(drawing.find('\n'), drawing.size());
        lines.emplace_back(drawing.substr(0, end));
        drawing.remove_prefix(std::min(end + 1, drawing.size()));
    }
    std::vector<std::string> out;
    out.reserve(lines.size());
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const std::string value = TrimmedLine(lines[index]);
        const std::string ending = value.size() < lines[index].size() ? "\r" : "";
        const auto header = finish.headerValues.find(value);
        if (header != finish.headerValues.end() && index + 2 < lines.size() && !out.empty() &&
            TrimmedLine(out.back()) == "  9") {
            out.push_back(lines[index]);
            out.push_back(lines[index + 1]);
            out.push_back(header->second + ending);
            index += 2;
            continue;
        }
        const auto text = finish.texts.find(value);
        if (text != finish.texts.end() && !out.empty() && TrimmedLine(out.back()) == "  1") {
            out.pop_back();
            AppendMText(out, text->second, ending);
            continue;
        }
        out.push_back(lines[index]);
    }
    std::string written;
    for (const std::string& line : out)
        (written += line) += '\n';
    return written;
}

} // namespace exchange
