#include "parser/RawDataParser.h"

#include "plugin/Messages.h"

struct CRawDataParser::DispatchRow {
    wchar_t code[3];
    std::size_t tokensRequired;
    // SS records lack the field SO records carry at position 2; the placeholder evens them out.
    bool insertUnusedField;
    Handler handler;
};

const CRawDataParser::DispatchRow CRawDataParser::kDispatch[] = {
    {L"CO", 1, false, &CRawDataParser::HandleHeader},
    {L"ST", 1, false, &CRawDataParser::HandleStation},
    {L"F1", 1, false, &CRawDataParser::HandleFaceObservation},
    {L"F2", 1, false, &CRawDataParser::HandleFaceObservation},
    {L"SS", 3, true, &CRawDataParser::HandleSideShot},
    {L"SO", 1, false, &CRawDataParser::HandleSideShot},
    {L"MC", 1, false, &CRawDataParser::HandleCoordinate},
    {L"MP", 1, false, &CRawDataParser::HandleCoordinate},
    {L"RE", 1, false, &CRawDataParser::HandleCoordinate},
    {L"UP", 1, false, &CRawDataParser::HandleCoordinate},
};

CRawDataParser::CRawDataParser(IMeasurementSink* sink, bool preScan) : sink(sink), preScan(preScan) {
    converterFactory = Plugin::RefPtr<IUnitConverterFactory>::Adopt(sink->GetConverterFactory());
}

void CRawDataParser::ParseLine(std::wstring& line) {
    // The pre-scan reads the code and the target name behind it; no record reads past its
    // ninth field, so the rest of a longer line is never split.
    constexpr std::size_t kPreScanFields = 2;
    constexpr std::size_t kFieldsAnyRecordReads = 9;
    const ScopedSplit split(splitter, line, preScan ? kPreScanFields : kFieldsAnyRecordReads);
    if (preScan)
        PreScanLine(split.Tokens());
    else
        DispatchLine(split.Tokens());
}

// The pre-scan only announces the targets of face observations, so the host knows every
// observed point before the import pass refers to it.
void CRawDataParser::PreScanLine(const TokenList& lineTokens) {
    if (lineTokens.size() >= 2 && (IsCode(lineTokens[0], L"F1") || IsCode(lineTokens[0], L"F2")))
        sink->AddPoint(lineTokens[1].c_str());
}

void CRawDataParser::DispatchLine(const TokenList& lineTokens) {
    for (const DispatchRow& row : kDispatch) {
        if (!IsCode(lineTokens[0], row.code))
            continue;
        if (lineTokens.size() < row.tokensRequired)
            return;
        // `lineTokens` is the splitter's own list, so the handler sees the placeholder.
        if (row.insertUnusedField)
            splitter.InsertToken(2, Token(L"unused", 6));
        (this->*row.handler)(lineTokens);
        recordRecognised = true;
        return;
    }
}

void CRawDataParser::Finish() {
    if (stationOpen || resectionMode) {
        backsightAngle = 0.0;
        FlushObservations();
    }
}

void CRawDataParser::ReportMessage(unsigned id) {
    sink->ReportMessage(LoadMessage(id).c_str());
}
