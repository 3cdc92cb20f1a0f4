#include "plugin/ImportDriver.h"

#include "parser/RawDataParser.h"
#include "platform/AnsiText.h"
#include "platform/TextFile.h"
#include "plugin/Messages.h"

#include <cstdint>

void ImportFiles(IImportFileList* files, IMeasurementSink* sink) {
    files->Reset();
    while (files->HasCurrent()) {
        const wchar_t* current = files->GetCurrent();
        ImportFile(current != nullptr ? std::wstring(current) : std::wstring(), sink);
        files->MoveNext();
    }
}

void ImportFile(const std::wstring& path, IMeasurementSink* sink) {
    sink->BeginFile(path.c_str());
    platform::SharedTextFile file;
    if (!file.Open(path)) {
        sink->ReportMessage(LoadMessage(kCannotOpenFile).c_str());
        return;
    }
    // The whole file is held as wide lines, because it is parsed twice.
    LineList lines;
    const platform::AnsiLineDecoder decoder;
    std::string bytes;
    while (file.ReadLine(bytes))
        lines.push_back(decoder.Convert(bytes));

    RunPass(sink, lines, true);
    if (!RunPass(sink, lines, false)) {
        sink->SetCurrentLine(-1);
        sink->ReportMessage(LoadMessage(kUnknownFormat).c_str());
    }
}

bool RunPass(IMeasurementSink* sink, const LineList& lines, bool preScan) {
    CRawDataParser parser(sink, preScan);
    const std::uint64_t count = lines.size();
    for (std::uint64_t i = 0; i < count; ++i) {
        sink->SetCurrentLine(static_cast<std::int32_t>(i));
        parser.ParseLine(lines[i]);
        sink->SetProgress(static_cast<float>(100 * (i + 1)) / static_cast<float>(count));
    }
    parser.Finish();
    sink->SetProgress(100.0f);
    return parser.RecordRecognised();
}
