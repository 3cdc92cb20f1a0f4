#include "survey/KnownPoints.h"

#include "survey/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

namespace survey {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::vector<std::string_view> Fields(std::string_view text) {
    std::vector<std::string_view> fields;
    for (;;) {
        const auto comma = text.find(',');
        fields.push_back(Trimmed(text.substr(0, comma)));
        if (comma == std::string_view::npos)
            return fields;
        text.remove_prefix(comma + 1);
    }
}

std::string BeyondAnySurvey() {
    return " must be finite and within " + std::to_string(static_cast<long long>(kFarthestCoordinate)) +
           " of zero";
}

bool HasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

// The next line of `text`, which ends at LF, CR LF or a lone CR (as old Mac editors save).
std::string_view NextLine(std::string_view& text) {
    const auto end = text.find_first_of("\r\n");
    const std::string_view line = text.substr(0, end);
    if (end == std::string_view::npos) {
        text = {};
        return line;
    }
    const bool crLf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
    text.remove_prefix(end + (crLf ? 2 : 1));
    return line;
}

// name, northing, easting and an optional elevation, which may also be an empty field.
KnownPointOrError FromFields(const std::vector<std::string_view>& fields, LengthUnit unit) {
    if (fields.size() < 3 || fields.size() > 4)
        return std::string("expected NAME, northing, easting and an optional elevation");
    if (fields[0].empty())
        return std::string("the point has no name");
    if (HasControlCharacter(fields[0]))
        return std::string("a point's name holds a control character");
    const auto northing = ReadNumber(fields[1]);
    const auto easting = ReadNumber(fields[2]);
    if (!northing || !easting)
        return "the northing and easting of " + std::string(fields[0]) + " are not both numbers";
    if (!WithinAnySurvey(*northing) || !WithinAnySurvey(*easting))
        return "the northing and easting of " + std::string(fields[0]) + BeyondAnySurvey();
    KnownPoint point;
    point.name = std::string(fields[0]);
    point.origin = PointOrigin::UserGiven;
    point.northing = *northing * MetresPer(unit);
    point.easting = *easting * MetresPer(unit);
    if (fields.size() == 4 && !fields[3].empty()) {
        const auto elevation = ReadNumber(fields[3]);
        if (!elevation)
            return "the elevation of " + point.name + " is not a number";
        if (!WithinAnySurvey(*elevation))
            return "the elevation of " + point.name + BeyondAnySurvey();
        point.elevation = *elevation * MetresPer(unit);
    }
    return point;
}

} // namespace

KnownPointOrError ParseKnownPoint(std::string_view text, LengthUnit unit) {
    const auto equals = text.find('=');
    if (equals == std::string_view::npos)
        return "'" + std::string(text) + "' is not NAME=N,E[,Z]";
    std::vector<std::string_view> fields = Fields(text.substr(equals + 1));
    fields.insert(fields.begin(), Trimmed(text.substr(0, equals)));
    return FromFields(fields, unit);
}

KnownPointList ReadKnownPoints(std::istream& in, LengthUnit unit) {
    KnownPointList list;
    std::string content;
    char chunk[1 << 16];
    while (content.size() <= kMaxKnownPointsBytes && in.read(chunk, sizeof chunk).gcount() > 0)
        content.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (in.bad()) {
        list.errors.push_back("cannot be read");
        return list;
    }
    if (content.size() > kMaxKnownPointsBytes) {
        list.errors.push_back("longer than " + std::to_string(kMaxKnownPointsBytes) +
                              " bytes; a file of control points is far shorter");
        return list;
    }
    std::string_view text = content;
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        text.remove_prefix(kByteOrderMark.size());
    int number = 0;
    bool header = true;
    while (!text.empty()) {
        const std::string_view line = NextLine(text);
        ++number;
        if (Trimmed(line).empty())
            continue;
        if (header) {
            header = false;
            const auto fields = Fields(line);
            if (fields.size() < 3 || fields[0] != "name" || fields[1] != "northing" || fields[2] != "easting")
                list.errors.push_back("line " + std::to_string(number) +
                                      ": the header row must be name,northing,easting,elevation");
            continue;
        }
        auto point = FromFields(Fields(line), unit);
        if (auto* error = std::get_if<std::string>(&point)) {
            list.errors.push_back("line " + std::to_string(number) + ": " + *error);
            continue;
        }
        list.points.push_back(std::move(std::get<KnownPoint>(point)));
    }
    return list;
}

} // namespace survey
