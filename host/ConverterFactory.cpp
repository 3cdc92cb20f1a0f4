#include "host/ConverterFactory.h"

#include "host/UnitRules.h"

#include <cstdint>
#include <string>

namespace host {
namespace {

using Rule = UnitRule*;

struct UnitRow {
    std::int32_t code;
    Rule rule;
};

constexpr UnitRow kAngleUnits[] = {{1, DegreesToRadians}, {4, GonsToRadians}, {5, MilsToRadians}};
constexpr std::int32_t kFeet = 1;
constexpr UnitRow kDistanceUnits[] = {{0, Metres}, {kFeet, FeetToMetres}};
constexpr UnitRow kUsSurveyFeet[] = {{kFeet, UsSurveyFeetToMetres}};
constexpr UnitRow kTemperatureUnits[] = {{0, Celsius}, {1, FahrenheitToCelsius}};
constexpr UnitRow kPressureUnits[] = {
    {0, MillimetresOfMercuryToHectopascals}, {1, Hectopascals}, {2, InchesOfMercuryToHectopascals}};

template <std::size_t N> Rule FindRule(const UnitRow (&table)[N], std::int32_t code) {
    for (const UnitRow& row : table) {
        if (row.code == code)
            return row.rule;
    }
    return nullptr;
}

// Counts its references itself and the host's live objects; destroys itself on the last Release.
template <class Interface> class RefCountedHostObject : public Interface {
public:
    void AddRef() override { ++count; }

    bool Release() override {
        const bool destroyed = --count == 0;
        if (destroyed)
            delete this;
        return destroyed;
    }

protected:
    explicit RefCountedHostObject(HostObjects& objects) : objects(objects) { objects.Created(); }
    virtual ~RefCountedHostObject() { objects.Destroyed(); }

    HostObjects& objects;

private:
    int count = 1; // the reference handed to whoever asked for the object
};

template <class Interface> class Converter final : public RefCountedHostObject<Interface> {
public:
    Converter(HostObjects& objects, Rule rule) : RefCountedHostObject<Interface>(objects), rule(rule) {}

    bool Convert(const wchar_t* text, double* value) override {
        return text != nullptr && value != nullptr && rule(text, *value);
    }

private:
    Rule rule;
};

class ConverterFactory final : public RefCountedHostObject<IUnitConverterFactory> {
public:
    ConverterFactory(HostObjects& objects, UsSurveyFeet usSurveyFeet)
        : RefCountedHostObject<IUnitConverterFactory>(objects), usSurveyFeet(std::move(usSurveyFeet)) {}

    Plugin::IAngleConverter* CreateAngleConverter(std::int32_t unit) override {
        return Create<Plugin::IAngleConverter>(kAngleUnits, unit);
    }
    IDistanceConverter* CreateDistanceConverter(std::int32_t unit) override {
        if (unit == kFeet && usSurveyFeet && usSurveyFeet())
            return Create<IDistanceConverter>(kUsSurveyFeet, unit);
        return Create<IDistanceConverter>(kDistanceUnits, unit);
    }
    IPressureConverter* CreatePressureConverter(std::int32_t unit) override {
        return Create<IPressureConverter>(kPressureUnits, unit);
    }
    ITemperatureConverter* CreateTemperatureConverter(std::int32_t unit) override {
        return Create<ITemperatureConverter>(kTemperatureUnits, unit);
    }

private:
    // Null for a unit code the host does not know.
    template <class Interface, std::size_t N>
    Interface* Create(const UnitRow (&table)[N], std::int32_t unit) {
        const Rule rule = FindRule(table, unit);
        return rule != nullptr ? new Converter<Interface>(objects, rule) : nullptr;
    }

    UsSurveyFeet usSurveyFeet;
};

} // namespace

IUnitConverterFactory* CreateConverterFactory(HostObjects& objects, UsSurveyFeet usSurveyFeet) {
    return new ConverterFactory(objects, std::move(usSurveyFeet));
}

} // namespace host
