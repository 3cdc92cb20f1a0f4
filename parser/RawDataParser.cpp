#include "parser/RawDataParser.h"

#include "platform/StringTable.h"

#include <algorithm>
#include <iterator>

struct CRawDataParser::DispatchRow {
    wchar_t code[3];
    std::size_t tokensRequired;
    // How far the handler reads, counting the placeholder; the rest of the line is never split.
    std::size_t fieldsRead;
    // SS records lack the field SO records carry at position 2; the placeholder evens them out.
    // It takes position 2 as the split passes it, so no token has to move; a line without a
    // third field never gets it.
    Insertion placeholder;
    Handler handler;
};

namespace {

constexpr Insertion kNoInsertion{};
constexpr Insertion kUnusedThirdField{2, Token(L"unused", 6)};

} // namespace

const CRawDataParser::DispatchRow CRawDataParser::kDispatch[] = {
    {L"CO", 1, 2, kNoInsertion, &CRawDataParser::HandleHeader},
    {L"ST", 1, 8, kNoInsertion, &CRawDataParser::HandleStation},
    {L"F1", 1, 6, kNoInsertion, &CRawDataParser::HandleFaceObservation},
    {L"F2", 1, 6, kNoInsertion, &CRawDataParser::HandleFaceObservation},
    {L"SS", 3, 9, kUnusedThirdField, &CRawDataParser::HandleSideShot},
    {L"SO", 1, 9, kNoInsertion, &CRawDataParser::HandleSideShot},
    {L"MC", 1, 7, kNoInsertion, &CRawDataParser::HandleCoordinate},
    {L"MP", 1, 7, kNoInsertion, &CRawDataParser::HandleCoordinate},
    {L"RE", 1, 7, kNoInsertion, &CRawDataParser::HandleCoordinate},
    {L"UP", 1, 7, kNoInsertion, &CRawDataParser::HandleCoordinate},
};

CRawDataParser::CRawDataParser(IMeasurementSink* sink, bool preScan, LinesAfterSplit lines)
    : sink(sink), settings(sink->GetConverterFactory()), preScan(preScan), splitter(lines) {}

// The pre-scan only announces the targets of face observations, so the host knows every
// observed point before the import pass refers to it.
void CRawDataParser::PreScanLine(wchar_t* line, std::size_t length, const char* ascii) {
    // A line whose code cannot be one is passed over at its first character.
    if (splitter.FirstNonSpace(line, length) != L'F')
        return;
    const std::wstring_view code = splitter.LeadingField(line, length);
    if (!IsCode(code, L"F1") && !IsCode(code, L"F2"))
        return;
    const ScopedSplit split(splitter, line, length, 2, kNoInsertion, ascii);
    const TokenList& tokens = split.Tokens();
    if (tokens.size() >= 2)
        sink->AddPoint(tokens[1].c_str());
}

// The code is read first, unsplit; the line is split once, only as far as its record reads.
void CRawDataParser::DispatchLine(wchar_t* line, std::size_t length, const char* ascii) {
    const std::wstring_view code = splitter.LeadingField(line, length);
    if (code.size() != 2)
        return;
    const DispatchRow* const row =
        std::find_if(std::begin(kDispatch), std::end(kDispatch), [&](const DispatchRow& entry) {
            return entry.code[0] == code[0] && entry.code[1] == code[1];
        });
    if (row == std::end(kDispatch))
        return;
    const ScopedSplit split(splitter, line, length, row->fieldsRead, row->placeholder, ascii);
    const TokenList& tokens = split.Tokens();
    if (tokens.size() < row->tokensRequired)
        return;
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

void CRawDataParser::ReportMissingDistanceUnits() {
    ReportMessage(kNoDistanceUnits);
}

void CRawDataParser::ReportMissingAngleUnits() {
    ReportMessage(kNoAngleUnits);
}
