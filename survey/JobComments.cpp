#include "survey/JobComments.h"

#include "survey/Text.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <string_view>

namespace survey {
namespace {

// The comment's text: its second field, as the module reads it.
std::optional<std::string_view> CommentText(std::string_view line) {
    const auto comma = line.find(',');
    if (comma == std::string_view::npos || Trimmed(line.substr(0, comma)) != "CO")
        return std::nullopt;
    const std::string_view rest = line.substr(comma + 1);
    return Trimmed(rest.substr(0, rest.find(',')));
}

// The words after `key`, or none when the comment does not hold it.
std::optional<std::string_view> After(std::string_view text, std::string_view key) {
    const auto at = text.find(key);
    if (at == std::string_view::npos)
        return std::nullopt;
    return Trimmed(text.substr(at + key.size()));
}

bool Holds(std::string_view text, std::string_view word) {
    return text.find(word) != std::string_view::npos;
}

void ReadZeroVa(std::string_view value, JobFacts& facts) {
    if (Holds(value, "Zenith"))
        facts.zeroVa = ZeroVa::Zenith;
    else if (Holds(value, "Compass"))
        facts.zeroVa = ZeroVa::Compass;
    else if (Holds(value, "Horizontal"))
        facts.zeroVa = ZeroVa::Horizontal;
}

void ReadReadings(std::string_view value, JobFacts& facts) {
    facts.readings = Holds(value, "Azimuth") ? CircleReadings::Azimuth : CircleReadings::FromBacksight;
}

void ReadZeroAzimuth(std::string_view value, JobFacts& facts) {
    if (Holds(value, "South"))
        facts.zeroAzimuth = ZeroAzimuth::South;
    else if (Holds(value, "North"))
        facts.zeroAzimuth = ZeroAzimuth::North;
}

// The module's own choice of converter, refined by the one word it does not look at: "US".
void ReadDistanceUnit(std::string_view value, JobFacts& facts) {
    if (Holds(value, "Metres") || Holds(value, "Meters"))
        facts.distanceUnit = LengthUnit::Metre;
    else if (Holds(value, "US Feet"))
        facts.distanceUnit = LengthUnit::UsSurveyFoot;
    else if (Holds(value, "Feet"))
        facts.distanceUnit = LengthUnit::InternationalFoot;
    else
        return;
    facts.distanceUnitText = std::string(value);
}

// The words the module looks for, in its order: the first the text holds decides.
void ReadAngleUnit(std::string_view value, JobFacts& facts) {
    static const struct {
        std::string_view word;
        AngleUnit unit;
    } kWords[] = {
        {"Degrees", AngleUnit::Degrees}, {"DDDMMSS", AngleUnit::DegreesMinutesSeconds},
        {"Gons", AngleUnit::Gons},       {"Gon", AngleUnit::Gons},
        {"MIL6000", AngleUnit::Mils},    {"MIL6400", AngleUnit::Mils},
    };
    facts.angleUnitText = std::string(value);
    for (const auto& word : kWords) {
        if (Holds(value, word.word)) {
            facts.angleUnit = word.unit;
            return;
        }
    }
}

struct FactKey {
    std::string_view key;
    std::function<void(std::string_view, JobFacts&)> read;
};

const FactKey kFactKeys[] = {
    {"Zero VA:", ReadZeroVa},          {"HA Raw data:", ReadReadings},  {"Zero azimuth:", ReadZeroAzimuth},
    {"Dist Units:", ReadDistanceUnit}, {"Angle Units:", ReadAngleUnit},
};

void ReadHeader(std::string_view text, bool afterFormatLine, JobHeader& header) {
    if (auto value = After(text, "Instrument:"))
        header.instrument = std::string(*value);
    else if (text.rfind("Downloaded ", 0) == 0)
        header.downloaded = std::string(Trimmed(text.substr(11)));
    else if (const auto at = text.find(" Created "); at != std::string_view::npos)
        header.created = std::string(Trimmed(text.substr(at + 9)));
    else if (afterFormatLine && header.job.empty() && !Holds(text, ":"))
        header.job = std::string(text);
}

} // namespace

JobComments JobComments::Read(const std::vector<std::string>& lines) {
    JobComments comments;
    for (std::size_t index = 0; index < lines.size(); ++index)
        comments.Add(static_cast<int>(index), lines[index]);
    return comments;
}

void JobComments::Add(int line, std::string_view text) {
    const auto comment = CommentText(text);
    if (!comment)
        return;
    // A resection comment carries no settings, whatever else it holds.
    if (Holds(*comment, "Start of Resection"))
        return;
    ReadHeader(*comment, afterFormatLine_, header_);
    afterFormatLine_ = Holds(*comment, "RAW data format");
    bool changed = false;
    for (const FactKey& key : kFactKeys) {
        if (auto value = After(*comment, key.key)) {
            key.read(*value, facts_);
            changed = true;
        }
    }
    if (changed)
        changes_.emplace_back(line, facts_);
}

bool JobComments::StartsComment(std::string_view bytes) {
    // Only the white space before the record's name is skipped, for the end's cannot shorten a
    // text that starts "CO".
    const auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    const auto first = std::find_if_not(bytes.begin(), bytes.end(), isSpace);
    return bytes.substr(static_cast<std::size_t>(first - bytes.begin())).substr(0, 2) == "CO";
}

JobFacts JobComments::FactsAt(Line line) const {
    const int limit = line.value_or(std::numeric_limits<int>::max());
    const auto after = std::find_if(changes_.rbegin(), changes_.rend(),
                                    [limit](const auto& change) { return change.first < limit; });
    return after == changes_.rend() ? JobFacts{} : after->second;
}

} // namespace survey
