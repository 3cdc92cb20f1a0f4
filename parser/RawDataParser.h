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

    // Records; "CO" comments hold the job's settings.
    void HandleHeader(const TokenList& tokens);
    void HandleStation(const TokenList& tokens);
    void HandleFaceObservation(const TokenList& tokens);
    void HandleSideShot(const TokenList& tokens);
    void HandleCoordinate(const TokenList& tokens);

    void FlushObservations();
    void ResetStation();
    void SendPendingBacksight();
    void ReportMessage(unsigned id);

    // The settings, which hold the converter references, are destroyed last.
    IMeasurementSink* sink; // borrowed
    bool recordRecognised = false;
    JobSettings settings;
    bool resectionMode = false;
    bool stationOpen = false;
    std::wstring stationName;
    std::wstring backsightName;
    double backsightAngle = 0.0; // radians
    std::vector<ObservationRecord> observations;
    std::unique_ptr<ObservationRecord> pendingBacksight;
    bool preScan;
    LineSplitter splitter;
};

// Brings a horizontal angle into [0, 2π) the way the flush does; ends for every double.
double NormalizeHorizontalAngle(double angle);
