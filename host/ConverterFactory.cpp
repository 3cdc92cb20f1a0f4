#include "host/ConverterFactory.h"

#include "host/UnitRules.h"

#include <cstdint>
#include <string>

namespace host {
namespace {

// Makes a converter of the interface a table serves.
template <class Interface> using Maker = Interface* (*)(HostObjects&);

template <class Interface> struct UnitRow {
    std::int32_t code;
    Maker<Interface> make;
};

template <class Interface, std::size_t N>
Maker<Interface> FindMaker(const UnitRow<Interface> (&table)[N], std::int32_t code) {
    for (const UnitRow<Interface>& row : table) {
        if (row.code == code)
            return row.make;
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

// A converter by one rule, known when compiled, so that the usual rules are read inline.
template <class Interface, UnitRule& rule> class Converter final : public RefCountedHostObject<Interface> {
public:
    explicit Converter(HostObjects& objects) : RefCountedHostObject<Interface>(objects) {}

    bool Convert(const wchar_t* text, double* value) override {
        if (text == nullptr || value == nullptr)
            return false;
        return rule(text, *value);
    }
};

template <class Interface, UnitRule& rule> Interface* Make(HostObjects& objects) {
    return new Converter<Interface, rule>(objects);
}

using Angle = Plugin::IAngleConverter;
using Distance = IDistanceConverter;
using Temperature = ITemperatureConverter;
using Pressure = IPressureConverter;

constexpr UnitRow<Angle> kAngleUnits[] = {
    {1, Make<Angle, DegreesToRadians>}, {4, Make<Angle, GonsToRadians>}, {5, Make<Angle, MilsToRadians>}};
constexpr std::int32_t kFeet = 1;
constexpr UnitRow<Distance> kDistanceUnits[] = {{0, Make<Distance, Metres>},
                                                {kFeet, Make<Distance, FeetToMetres>}};
constexpr UnitRow<Distance> kUsSurveyFeet[] = {{kFeet, Make<Distance, UsSurveyFeetToMetres>}};
constexpr UnitRow<Temperature> kTemperatureUnits[] = {{0, Make<Temperature, Celsius>},
                                                      {1, Make<Temperature, FahrenheitToCelsius>}};
constexpr UnitRow<Pressure> kPressureUnits[] = {{0, Make<Pressure, MillimetresOfMercuryToHectopascals>},
                                                {1, Make<Pressure, Hectopascals>},
                                                {2, Make<Pressure, InchesOfMercuryToHectopascals>}};

class ConverterFactory final : public RefCountedHostObject<IUnitConverterFactory> {
public:
    ConverterFactory(HostObjects& objects, UsSurveyFeet usSurveyFeet)
        : RefCountedHostObject<IUnitConverterFactory>(objects), usSurveyFeet(std::move(usSurveyFeet)) {}

    Plugin::IAngleConverter* CreateAngleConverter(std::int32_t unit) override {
        return Create(kAngleUnits, unit);
    }
    IDistanceConverter* CreateDistanceConverter(std::int32_t unit) override {
        if (unit == kFeet && usSurveyFeet && usSurveyFeet())
            return Create(kUsSurveyFeet, unit);
        return Create(kDistanceUnits, unit);
    }
    IPressureConverter* CreatePressureConverter(std::int32_t unit) override {
        return Create(kPressureUnits, unit);
    }
    ITemperatureConverter* CreateTemperatureConverter(std::int32_t unit) override {
        return Create(kTemperatureUnits, unit);
    }

private:
    // Null for a unit code the host does not know.
    template <class Interface, std::size_t N>
    Interface* Create(const UnitRow<Interface> (&table)[N], std::int32_t unit) {
        const Maker<Interface> make = FindMaker(table, unit);
        return make != nullptr ? make(objects) : nullptr;
    }

    UsSurveyFeet usSurveyFeet;
};

} // namespace

IUnitConverterFactory* CreateConverterFactory(HostObjects& objects, UsSurveyFeet usSurveyFeet) {
    return new ConverterFactory(objects, std::move(usSurveyFeet));
}

} // namespace host
