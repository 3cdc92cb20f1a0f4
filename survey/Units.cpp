#include "survey/Survey.h"

#include <iterator>

namespace survey {

double MetresPer(LengthUnit unit) {
    switch (unit) {
    case LengthUnit::InternationalFoot:
        return 0.3048;
    case LengthUnit::UsSurveyFoot:
        return 1200.0 / 3937.0;
    case LengthUnit::Metre:
        break;
    }
    return 1.0;
}

namespace {

struct UnitWords {
    const char* symbol;
    const char* name;
    const char* plural;
};
constexpr UnitWords kUnitWords[] = {
    {"m", "metre", "metres"},
    {"ft", "international foot", "international feet"},
    {"usft", "US survey foot", "US survey feet"},
};
static_assert(std::size(kUnitWords) == static_cast<std::size_t>(LengthUnit::UsSurveyFoot) + 1);

constexpr const char* kStatusNames[] = {"oriented", "not located", "not oriented"};
static_assert(std::size(kStatusNames) == static_cast<std::size_t>(StationStatus::NotOriented) + 1);

} // namespace

const char* UnitSymbol(LengthUnit unit) {
    return kUnitWords[static_cast<std::size_t>(unit)].symbol;
}

const char* UnitName(LengthUnit unit) {
    return kUnitWords[static_cast<std::size_t>(unit)].name;
}

const char* UnitPlural(LengthUnit unit) {
    return kUnitWords[static_cast<std::size_t>(unit)].plural;
}

const char* StatusName(StationStatus status) {
    return kStatusNames[static_cast<std::size_t>(status)];
}

} // namespace survey
