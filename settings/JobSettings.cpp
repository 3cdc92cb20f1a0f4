// "CO" comment records: the job's units, coordinate order, atmosphere and resection start.
// Keys and unit words are matched anywhere in the comment, exactly and case-sensitively.
#include "settings/JobSettings.h"

#include "settings/AngleDMSConverter.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/find.hpp>
#include <boost/algorithm/string/predicate.hpp>

#include <algorithm>

namespace {

using boost::algorithm::contains;
using boost::algorithm::starts_with;

struct UnitWord {
    const wchar_t* word;
    std::int32_t code;
};

// Tried in order; the first word the comment contains chooses the code.
constexpr UnitWord kDistanceUnits[] = {{L"Metres", 0}, {L"Meters", 0}, {L"Feet", 1}};
constexpr UnitWord kAngleUnits[] = {{L"Degrees", 1}, {L"DDDMMSS", 1}, {L"Gons", 4},
                                    {L"Gon", 4},     {L"MIL6000", 5}, {L"MIL6400", 5}};
constexpr std::int32_t kDegreesCode = 1;

template <std::size_t N> const UnitWord* FindUnit(std::wstring_view text, const UnitWord (&units)[N]) {
    for (const UnitWord& unit : units)
        if (contains(text, unit.word))
            return &unit;
    return nullptr;
}

// The number after a temperature or pressure key, and where the text goes on after it.
struct Reading {
    std::wstring number;
    std::wstring_view::const_iterator next;
};

// Looks for the first key present; "OFF" right after it, or no number, gives nothing.
bool FindReading(std::wstring_view text, const wchar_t* key, const wchar_t* shortKey, Reading& reading) {
    auto found = boost::algorithm::find_first(text, key);
    if (found.empty())
        found = boost::algorithm::find_first(text, shortKey);
    if (found.empty())
        return false;
    const auto rest = boost::make_iterator_range(found.end(), text.end());
    if (starts_with(rest, L"OFF"))
        return false;
    const auto run = boost::algorithm::find_token(rest, boost::algorithm::is_any_of(L"+-0123456789."),
                                                  boost::algorithm::token_compress_on);
    if (run.empty())
        return false;
    reading.number.assign(run.begin(), run.end());
    reading.next = std::find_if_not(run.end(), text.end(), boost::algorithm::is_space());
    return true;
}

// The reading's number through `converter`, when the host gave one and it converts.
template <class Converter> void Store(Converter* converter, const Reading& reading, OptionalDouble& target) {
    double value = 0.0;
    if (converter != nullptr && ConvertText(converter, reading.number.c_str(), value))
        target = value;
}

} // namespace

JobSettings::JobSettings(IUnitConverterFactory* factory)
    : converterFactory(Plugin::RefPtr<IUnitConverterFactory>::Adopt(factory)) {}

bool JobSettings::ReadComment(std::wstring_view text) {
    if (contains(text, L"Start of Resection"))
        return true;
    ReadDistanceUnits(text);
    ReadAngleUnits(text);
    if (contains(text, L"Coord Order:"))
        enzOrder = contains(text, L"ENZ") ? 1 : 0;
    ReadTemperature(text);
    ReadPressure(text);
    return false;
}

void JobSettings::ReadDistanceUnits(std::wstring_view text) {
    if (!converterFactory || !contains(text, L"Dist Units:"))
        return;
    if (const UnitWord* unit = FindUnit(text, kDistanceUnits))
        distanceConverter =
            Plugin::RefPtr<IDistanceConverter>::Adopt(converterFactory->CreateDistanceConverter(unit->code));
}

void JobSettings::ReadAngleUnits(std::wstring_view text) {
    if (!converterFactory || !contains(text, L"Angle Units:"))
        return;
    const UnitWord* unit = FindUnit(text, kAngleUnits);
    if (unit == nullptr)
        return;
    using AngleRef = Plugin::RefPtr<Plugin::IAngleConverter>;
    if (unit->code != kDegreesCode) {
        angleConverter = AngleRef::Adopt(converterFactory->CreateAngleConverter(unit->code));
        return;
    }
    // The wrapper takes its own reference; the factory's goes back when `degrees` leaves scope,
    // after the wrapper has been stored and the previous converter released.
    const AngleRef degrees = AngleRef::Adopt(converterFactory->CreateAngleConverter(kDegreesCode));
    angleConverter = AngleRef::Share(new CAngleDMSConverter(degrees.Get()));
}

void JobSettings::ReadTemperature(std::wstring_view text) {
    Reading reading;
    if (!converterFactory || !FindReading(text, L"Temperature:", L"Temp:", reading))
        return;
    auto converter =
        Plugin::RefPtr<ITemperatureConverter>::Adopt(converterFactory->CreateTemperatureConverter(0));
    if (reading.next != text.end() && *reading.next == L'F')
        converter.Attach(converterFactory->CreateTemperatureConverter(1));
    Store(converter.Get(), reading, temperature);
}

void JobSettings::ReadPressure(std::wstring_view text) {
    Reading reading;
    if (!converterFactory || !FindReading(text, L"Pressure:", L"Press:", reading))
        return;
    auto converter = Plugin::RefPtr<IPressureConverter>::Adopt(converterFactory->CreatePressureConverter(0));
    const auto unit = boost::make_iterator_range(reading.next, text.end());
    if (starts_with(unit, L"inHg"))
        converter.Attach(converterFactory->CreatePressureConverter(2));
    else if (starts_with(unit, L"hPa"))
        converter.Attach(converterFactory->CreatePressureConverter(1));
    Store(converter.Get(), reading, pressure);
}
