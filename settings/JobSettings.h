// The job's settings as its "CO" comment records give them: units, coordinate order and
// atmosphere, and the host converters the units choose.
#pragma once

#include "interfaces/HostInterfaces.h"
#include "interfaces/RefPtr.h"
#include "settings/OptionalDouble.h"

#include <cstdint>
#include <string_view>

class JobSettings {
public:
    // Adopts the reference GetConverterFactory handed out; a null factory makes no converters.
    explicit JobSettings(IUnitConverterFactory* factory);
    JobSettings(const JobSettings&) = delete;
    JobSettings& operator=(const JobSettings&) = delete;

    // Reads one comment's text. True when it starts a resection, which sets nothing else.
    bool ReadComment(std::wstring_view text);

    // Null until a comment names units the host converts.
    Plugin::IAngleConverter* Angles() const { return angleConverter.Get(); }
    IDistanceConverter* Distances() const { return distanceConverter.Get(); }
    const OptionalDouble& Pressure() const { return pressure; }
    const OptionalDouble& Temperature() const { return temperature; }
    // Coordinate records give easting before northing ("Coord Order: ENZ").
    bool EastingFirst() const { return enzOrder != 0; }

private:
    void ReadDistanceUnits(std::wstring_view text);
    void ReadAngleUnits(std::wstring_view text);
    void ReadTemperature(std::wstring_view text);
    void ReadPressure(std::wstring_view text);

    // Field order fixes the order of destruction: the distance converter goes first, the factory
    // after the angle converter.
    Plugin::RefPtr<IUnitConverterFactory> converterFactory;
    Plugin::RefPtr<Plugin::IAngleConverter> angleConverter;
    Plugin::RefPtr<IDistanceConverter> distanceConverter;
    OptionalDouble pressure;
    OptionalDouble temperature;
    std::int32_t enzOrder = 0;
};
