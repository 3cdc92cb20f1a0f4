#include "host/ConverterFactory.h"

#include "host/UnitRules.h"

#include <cstdint>
#include <string>

namespace host {
namespace {

using Rule = std::optional<double> (*)(std::wstring_view);

struct UnitRow {
    std::int32_t code;
    Rule rule;
};

constexpr UnitRow kAngleUnits[] = {{1, ParseDegrees}, {4, GonsToRadians}, {5, MilsToRadians}};
constexpr UnitRow kDistanceUnits[] = {{0, Metres}, {1, FeetToMetres}};
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

// Counts its references itself, so that every AddRef and Release can be traced; destroys itself
// on the last Release.
template <class Interface> class RefCountedHostObject : public Interface {
public:
    void AddRef() override {
        ++count;
        objects.Record({name, "AddRef", {}, {}, {}});
    }

    bool Release() override {
        const bool destroyed = --count == 0;
        objects.Record({name, "Release", {}, TraceValue(destroyed), {}});
        if (destroyed)
            delete this;
        return destroyed;
    }

    const std::string& Name() const { return name; }

protected:
    RefCountedHostObject(HostObjects& objects, std::string name) : objects(objects), name(std::move(name)) {
        objects.Created();
    }
    virtual ~RefCountedHostObject() { objects.Destroyed(); }

    HostObjects& objects;

private:
    std::string name;
    int count = 1; // the reference handed to whoever asked for the object
};

template <class Interface> class Converter final : public RefCountedHostObject<Interface> {
public:
    Converter(HostObjects& objects, std::string name, Rule rule)
        : RefCountedHostObject<Interface>(objects, std::move(name)), rule(rule) {}

    bool Convert(const wchar_t* text, double* value) override {
        const std::optional<double> converted = text != nullptr ? rule(text) : std::nullopt;
        if (converted && value != nullptr)
            *value = *converted;
        const bool written = converted && value != nullptr;
        this->objects.Record({this->Name(),
                              "Convert",
                              {TraceText(text)},
                              TraceValue(written),
                              written ? converted : std::nullopt});
        return written;
    }

private:
    Rule rule;
};

class ConverterFactory final : public RefCountedHostObject<IUnitConverterFactory> {
public:
    ConverterFactory(HostObjects& objects, std::string name)
        : RefCountedHostObject<IUnitConverterFactory>(objects, std::move(name)) {}

    Plugin::IAngleConverter* CreateAngleConverter(std::int32_t unit) override {
        return Create<Plugin::IAngleConverter>("CreateAngleConverter", "angle", kAngleUnits, unit);
    }
    IDistanceConverter* CreateDistanceConverter(std::int32_t unit) override {
        return Create<IDistanceConverter>("CreateDistanceConverter", "distance", kDistanceUnits, unit);
    }
    IPressureConverter* CreatePressureConverter(std::int32_t unit) override {
        return Create<IPressureConverter>("CreatePressureConverter", "pressure", kPressureUnits, unit);
    }
    ITemperatureConverter* CreateTemperatureConverter(std::int32_t unit) override {
        return Create<ITemperatureConverter>("CreateTemperatureConverter", "temperature", kTemperatureUnits,
                                             unit);
    }

private:
    // Null for a unit code the host does not know.
    template <class Interface, std::size_t N>
    Interface* Create(const char* call, const char* kind, const UnitRow (&table)[N], std::int32_t unit) {
        const Rule rule = FindRule(table, unit);
        Converter<Interface>* converter =
            rule != nullptr ? new Converter<Interface>(objects, objects.NameNext(kind), rule) : nullptr;
        const TraceValue result =
            converter != nullptr ? TraceValue(ObjectName{converter->Name()}) : TraceValue(NullResult{});
        objects.Record({Name(), call, {TraceValue(unit)}, result, {}});
        return converter;
    }
};

} // namespace

IUnitConverterFactory* CreateConverterFactory(HostObjects& objects, std::string name) {
    return new ConverterFactory(objects, std::move(name));
}

} // namespace host
