#include "parser/RawDataParser.h"

#include "platform/StringTable.h"

#include <algorithm>
#include <iterator>

struct CRawDataParser::DispatchRow {
    wchar_t code[3];
    std::size_t tokensRequired;
    // How far the handler reads; the rest of the line is never split.
    std::size_t fieldsRead;
    // SS records lack the field SO records carry at position 2; the placeholder evens them out.
    bool insertUnusedField;
    Handler handler;
};

const CRawDataParser::DispatchRow CRawDataParser::kDispatch[] = {
    {L"CO", 1, 2, false, &CRawDataParser::HandleHeader},
    {L"ST", 1, 8, false, &CRawDataParser::HandleStation},
    {L"F1", 1, 6, false, &CRawDataParser::HandleFaceObservation},
    {L"F2", 1, 6, false, &CRawDataParser::HandleFaceObservation},
    {L"SS", 3, 8, true, &CRawDataParser::HandleSideShot},
    {L"SO", 1, 9, false, &CRawDataParser::HandleSideShot},
    {L"MC", 1, 7, false, &CRawDataParser::HandleCoordinate},
    {L"MP", 1, 7, false, &CRawDataParser::HandleCoordinate},
    {L"RE", 1, 7, false, &CRawDataParser::HandleCoordinate},
    {L"UP", 1, 7, false, &CRawDataParser::HandleCoordinate},
};

CRawDataParser::CRawDataParser(IMeasurementSink* sink, bool preScan)
    : sink(sink), settings(sink->GetConverterFactory()), preScan(preScan) {}

// The code is split off first; the rest of the line only as far as its record reads.
void CRawDataParser::ParseLine(wchar_t* line, std::size_t length) {
    // Only face observations matter to the pre-scan; a line whose code cannot be one is passed
    // over unsplit.
    if (preScan && splitter.FirstNonSpace(line, length) != L'F')
        return;
    ScopedSplit split(splitter, line, length, 1);
    const Token code = split.Tokens()[0];
    if (preScan)
        PreScanLine(code, split);
    else
        DispatchLine(code, split);
}

// The pre-scan only announces the targets of face observations, so the host knows every
// observed point before the import pass refers to it.
void CRawDataParser::PreScanLine(const Token& code, ScopedSplit& split) {
    if (!IsCode(code, L"F1") && !IsCode(code, L"F2"))
        return;
    const TokenList& tokens = split.Further(2);
    if (tokens.size() >= 2)
        sink->AddPoint(tokens[1].c_str());
}

void CRawDataParser::DispatchLine(const Token& code, ScopedSplit& split) {
    const DispatchRow* const row =
        std::find_if(std::begin(kDispatch), std::end(kDispatch),
                     [&](const DispatchRow& entry) { return IsCode(code, entry.code); });
    if (row == std::end(kDispatch))
        return;
    const TokenList& tokens = split.Further(row->fieldsRead);
    if (tokens.size() < row->tokensRequired)
        return;
    // `tokens` is the splitter's own list, so the handler sees the placeholder.
    if (row->insertUnusedField)
        splitter.InsertToken(2, Token(L"unused", 6));
    (this->*row->handler)(tokens);
    recordRecognised = true;
}

void CRawDataParser::Finish() {
    // The last station's observations keep no orientation.
    if (stationOpen || resectionMode)
        FlushObservations(0.0);
}

void CRawDataParser::HandleHeader(const TokenList& t) {
    if (t.size() >= 2 && settings.ReadComment(t[1]))
        resectionMode = true;
}

void CRawDataParser::ReportMessage(unsigned id) {
    sink->ReportMessage(LoadMessage(id).c_str());
}

IDistanceConverter* CRawDataParser::DistancesOrReport() {
    if (settings.Distances() == nullptr)
        ReportMessage(kNoDistanceUnits);
    return settings.Distances();
}

Plugin::IAngleConverter* CRawDataParser::AnglesOrReport() {
    if (settings.Angles() == nullptr)
        ReportMessage(kNoAngleUnits);
    return settings.Angles();
}
