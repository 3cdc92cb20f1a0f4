// The interpreter of one raw data file during one pass. The driver builds a fresh parser for
// the pre-scan pass and another for the import pass; nothing passes between them.
#pragma once

#include "interfaces/HostInterfaces.h"
#include "interfaces/RefPtr.h"
#include "parser/ObservationRecord.h"
#include "parser/Tokens.h"
#include "settings/JobSettings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CRawDataParser {
public:
    // Asks the sink for its converter factory once. The sink is borrowed, never released.
    // `lines` tells whether the lines are read again after this pass.
    CRawDataParser(IMeasurementSink* sink, bool preScan, LinesAfterSplit lines = LinesAfterSplit::GivenBack);
    CRawDataParser(const CRawDataParser&) = delete;
    CRawDataParser& operator=(const CRawDataParser&) = delete;

    // Splits the `length` characters at `line`, which a zero follows, in place; gives them back
    // unchanged before returning unless the parser was made with LinesAfterSplit::Dropped.
    // `ascii`, when given, holds the same line as bytes below 0x80, which are quicker to search.
    void ParseLine(wchar_t* line, std::size_t length, const char* ascii = nullptr) {
        if (!preScan)
            DispatchLine(line, length, ascii);
        else if (MayHoldFaceObservation(line[0], length))
            PreScanLine(line, length, ascii);
    }
    // False for the usual line, which the pre-scan passes over: one that begins with a printable character
    // other than 'F', at the cost of a comparison or two.
    bool MayHoldFaceObservation(wchar_t first, std::size_t length) const {
        return length != 0 && (first == L'F' || !splitter.Plain()(first));
    }
    // Sends what the last station still holds; called once after the last line.
    void Finish();

    bool RecordRecognised() const { return recordRecognised; }

private:
    using Handler = void (CRawDataParser::*)(const TokenList&);
    struct DispatchRow;
    static const DispatchRow kDispatch[];

    void PreScanLine(wchar_t* line, std::size_t length, const char* ascii);
    void DispatchLine(wchar_t* line, std::size_t length, const char* ascii);

    // Records; "CO" comments hold the job's settings.
    void HandleHeader(const TokenList& tokens);
    void HandleStation(const TokenList& tokens);
    void HandleFaceObservation(const TokenList& tokens);
    void HandleSideShot(const TokenList& tokens);
    void HandleCoordinate(const TokenList& tokens);

    // Sends the station's face observations, their horizontal angles turned so that the
    // backsight's face-left reading becomes `orientation`, and closes the station.
    void FlushObservations(double orientation);
    void ResetStation();
    void SendPendingBacksight() {
        if (pendingBacksight)
            SendBacksight();
    }
    void SendBacksight();
    void ReportMessage(unsigned id);
    // The job's converter, or null after the message that its units were never named.
    IDistanceConverter* DistancesOrReport() {
        IDistanceConverter* const distances = settings.Distances();
        if (distances == nullptr)
            ReportMissingDistanceUnits();
        return distances;
    }
    Plugin::IAngleConverter* AnglesOrReport() {
        Plugin::IAngleConverter* const angles = settings.Angles();
        if (angles == nullptr)
            ReportMissingAngleUnits();
        return angles;
    }
    void ReportMissingDistanceUnits();
    void ReportMissingAngleUnits();
    // Sends token `index` through `converter` to `setter` when it converts; false when the line
    // ends before that token.
    template <class Converter>
    bool SendToken(const TokenList& tokens, std::size_t index, Converter* converter,
                   void (IMeasurementSink::*setter)(double));

    // The settings, which hold the converter references, are destroyed last.
    IMeasurementSink* sink; // borrowed
    bool recordRecognised = false;
    JobSettings settings;
    bool resectionMode = false;
    bool stationOpen = false;
    std::wstring stationName;
    std::wstring backsightName;
    double backsightAngle = 0.0; // radians: the open station's orientation
    std::vector<ObservationRecord> observations;
    std::unique_ptr<ObservationRecord> pendingBacksight;
    bool preScan;
    LineSplitter splitter;
};

template <class Converter>
bool CRawDataParser::SendToken(const TokenList& tokens, std::size_t index, Converter* converter,
                               void (IMeasurementSink::*setter)(double)) {
    if (tokens.size() <= index)
        return false;
    double value = 0.0;
    if (ConvertText(converter, tokens[index].c_str(), value))
        (sink->*setter)(value);
    return true;
}

// Brings a horizontal angle into [0, 2π) the way the flush does; ends for every double.
double NormalizeHorizontalAngle(double angle);
