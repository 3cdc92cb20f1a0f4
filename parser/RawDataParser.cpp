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

void CRawDataParser::ParseLine(std::wstring_view line) {
    if (!preScan) {
        SplitLine(line, tokens);
        DispatchLine(tokens);
        return;
    }
    // The pre-scan reads the code, and the target name only behind a face-observation code.
    SplitLine(line, tokens, 1);
    if (IsCode(tokens[0], L"F1") || IsCode(tokens[0], L"F2"))
        SplitLine(line, tokens, 2);
    PreScanLine(tokens);
}

// The pre-scan only announces the targets of face observations, so the host knows every
// observed point before the import pass refers to it.
void CRawDataParser::PreScanLine(const TokenList& lineTokens) {
    if (lineTokens.size() >= 2 && (IsCode(lineTokens[0], L"F1") || IsCode(lineTokens[0], L"F2")))
        sink->AddPoint(lineTokens[1].c_str());
}

void CRawDataParser::DispatchLine(TokenList& lineTokens) {
    for (const DispatchRow& row : kDispatch) {
        if (!IsCode(lineTokens[0], row.code))
            continue;
        if (lineTokens.size() < row.tokensRequired)
            return;
        if (row.insertUnusedField)
            lineTokens.insert(lineTokens.begin() + 2, L"unused");
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
