// The interpreter of one raw data file during one pass. The driver builds a fresh parser for
// the pre-scan pass and another for the import pass; nothing passes between them.
#pragma once

#include "interfaces/HostInterfaces.h"
#include "interfaces/RefPtr.h"
#include "parser/ObservationRecord.h"
#include "parser/Tokens.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CRawDataParser {
public:
    // Asks the sink for its converter factory once. The sink is borrowed, never released.
    CRawDataParser(IMeasurementSink* sink, bool preScan);
    CRawDataParser(const CRawDataParser&) = delete;
    CRawDataParser& operator=(const CRawDataParser&) = delete;

    // Splits the `length` characters at `line`, which a zero follows, in place and gives them
    // back unchanged before returning.
    void ParseLine(wchar_t* line, std::size_t length);
    // Sends what the last station still holds; called once after the last line.
    void Finish();

    bool RecordRecognised() const { return recordRecognised; }

private:
    using Handler = void (CRawDataParser::*)(const TokenList&);
    struct DispatchRow;
    static const DispatchRow kDispatch[];

    void PreScanLine(const Token& code, ScopedSplit& split);
    void DispatchLine(const Token& code, ScopedSplit& split);

    // Job settings: the "CO" comment records.
    void HandleHeader(const TokenList& tokens);
    void ParseDistanceUnits(std::wstring_view text);
    void ParseAngleUnits(std::wstring_view text);
    void ParseTemperature(std::wstring_view text);
    void ParsePressure(std::wstring_view text);

    // Records.
    void HandleStation(const TokenList& tokens);
    void HandleFaceObservation(const TokenList& tokens);
    void HandleSideShot(const TokenList& tokens);
    void HandleCoordinate(const TokenList& tokens);

    void FlushObservations();
    void ResetStation();
    void SendPendingBacksight();
    void ReportMessage(unsigned id);
    template <class Converter> bool Convert(Converter* converter, const wchar_t* text, double& value);

    // Field order fixes the order of destruction: the converter references go last, the
    // distance converter first, the factory after the angle converter.
    IMeasurementSink* sink; // borrowed
    bool recordRecognised = false;
    Plugin::RefPtr<IUnitConverterFactory> converterFactory; // adopts GetConverterFactory's reference
    Plugin::RefPtr<Plugin::IAngleConverter> angleConverter;
    Plugin::RefPtr<IDistanceConverter> distanceConverter;
    OptionalDouble pressure;
    OptionalDouble temperature;
    bool resectionMode = false;
    bool stationOpen = false;
    std::wstring stationName;
    std::wstring backsightName;
    double backsightAngle = 0.0; // radians
    std::vector<ObservationRecord> observations;
    std::int32_t enzOrder = 0;
    std::unique_ptr<ObservationRecord> pendingBacksight;
    bool preScan;
    LineSplitter splitter;
};

// Host converters write the value only on success; a failed conversion leaves `value` alone.
template <class Converter>
bool CRawDataParser::Convert(Converter* converter, const wchar_t* text, double& value) {
    double converted = 0.0;
    if (!converter->Convert(text, &converted))
        return false;
    value = converted;
    return true;
}

// Brings a horizontal angle into [0, 2π) the way the flush does; ends for every double.
double NormalizeHorizontalAngle(double angle);
