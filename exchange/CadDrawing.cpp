#include "exchange/CadDrawing.h"

#include "survey/Survey.h"

#include "exchange/Formats.h"

#include <algorithm>
#include <charconv>
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

constexpr double kSmallestRatio = 1e-6; // CAD's least minor to major ratio
constexpr double kTurn = 6.283185307179586;

// A group code line's number; -1 for a line that is none, whose entity is then left alone.
int GroupCode(const std::string& line) {
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos)
        return -1;
    int code = -1;
    const auto [end, error] = std::from_chars(line.data() + start, line.data() + line.size(), code);
    return error == std::errc() && end == line.data() + line.size() ? code : -1;
}

std::string DxfNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.12g", value);
    return text;
}

// An MTEXT entity (code and value lines from its "0" on) turned into the ELLIPSE, centred where
// the MTEXT stands: the groups before its own subclass are the entity's (handle, owner, layer).
std::vector<std::string> EllipseEntity(const std::vector<std::string>& mtext, const CadEllipse& ellipse,
                                       const std::string& ending) {
    std::vector<std::string> entity;
    std::map<int, std::string> centre = {{10, "0"}, {20, "0"}, {30, "0"}};
    bool common = true;
    for (std::size_t index = 0; index + 1 < mtext.size(); index += 2) {
        const int code = GroupCode(TrimmedLine(mtext[index]));
        const std::string value = TrimmedLine(mtext[index + 1]);
        if (code == 100 && value == "AcDbMText")
            common = false;
        if (code == 0) {
            entity.insert(entity.end(), {mtext[index], "ELLIPSE" + ending});
        } else if (common) {
            entity.insert(entity.end(), {mtext[index], mtext[index + 1]});
        } else if (centre.count(code) != 0) {
            centre[code] = value;
        }
    }
    const std::pair<const char*, std::string> groups[] = {{"100", "AcDbEllipse"},
                                                          {" 10", centre[10]},
                                                          {" 20", centre[20]},
                                                          {" 30", centre[30]},
                                                          {" 11", DxfNumber(ellipse.majorX)},
                                                          {" 21", DxfNumber(ellipse.majorY)},
                                                          {" 31", "0"},
                                                          {" 40", DxfNumber(ellipse.ratio)},
                                                          {" 41", "0"},
                                                          {" 42", DxfNumber(kTurn)}};
    for (const auto& [code, value] : groups)
        entity.insert(entity.end(), {code + ending, value + ending});
    return entity;
}

// The placeholder MTEXT of an ellipse, if the entity is one.
const CadEllipse* PlaceholderEllipse(const std::vector<std::string>& entity,
                                     const std::map<std::string, CadEllipse>& ellipses) {
    if (entity.size() < 2 || TrimmedLine(entity[1]) != "MTEXT")
        return nullptr;
    for (std::size_t index = 0; index + 1 < entity.size(); index += 2) {
        if (GroupCode(TrimmedLine(entity[index])) != 1)
            continue;
        const auto found = ellipses.find(TrimmedLine(entity[index + 1]));
        return found == ellipses.end() ? nullptr : &found->second;
    }
    return nullptr;
}

// The drawing's lines, code and value in turn, with every placeholder MTEXT of an ellipse replaced.
std::vector<std::string> WithEllipses(const std::vector<std::string>& lines,
                                      const std::map<std::string, CadEllipse>& ellipses) {
    if (ellipses.empty())
        return lines;
    std::vector<std::string> out;
    out.reserve(lines.size());
    std::vector<std::string> entity;
    const auto flush = [&] {
        const CadEllipse* ellipse = PlaceholderEllipse(entity, ellipses);
        if (ellipse == nullptr) {
            out.insert(out.end(), entity.begin(), entity.end());
        } else {
            const std::string ending = entity[0].size() > TrimmedLine(entity[0]).size() ? "\r" : "";
            const std::vector<std::string> replaced = EllipseEntity(entity, *ellipse, ending);
            out.insert(out.end(), replaced.begin(), replaced.end());
        }
        entity.clear();
    };
    for (std::size_t index = 0; index < lines.size(); index += 2) {
        if (GroupCode(TrimmedLine(lines[index])) == 0)
            flush();
        entity.push_back(lines[index]);
        if (index + 1 < lines.size())
            entity.push_back(lines[index + 1]);
    }
    flush();
    return out;
}

} // namespace

std::optional<CadEllipse> ErrorEllipse(double semiMajor, double semiMinor, double azimuth,
                                       double exaggeration, double unitsPerMetre) {
    const double major = std::max(semiMajor, semiMinor) * exaggeration * unitsPerMetre;
    const double minor = std::min(semiMajor, semiMinor) * exaggeration * unitsPerMetre;
    if (!std::isfinite(major) || !std::isfinite(minor) || !std::isfinite(azimuth) || !(major > 0) ||
        minor < 0)
        return std::nullopt;
    // The azimuth turns clockwise from north, the drawing's y axis.
    return CadEllipse{major * std::sin(azimuth), major * std::cos(azimuth),
                      std::max(minor / major, kSmallestRatio)};
}

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
    for (const std::string& line : WithEllipses(out, finish.ellipses))
        (written += line) += '\n';
    return written;
}

} // namespace exchange
