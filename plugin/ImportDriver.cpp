#include "plugin/ImportDriver.h"

#include "parser/RawDataParser.h"
#include "platform/AnsiText.h"
#include "platform/StringTable.h"
#include "platform/TextFile.h"

#include <cstdint>

namespace {

// Rounding both operands to single precision lifts the quotient above 100 for some line counts
// (671091 is the first), which would also make the closing 100 a step back.
float LineProgress(std::uint64_t done, std::uint64_t count) {
    // A line count stays far below 2^63, where the signed conversion (one instruction) gives
    // the same single-precision value as the unsigned one.
    const float percent = static_cast<float>(static_cast<std::int64_t>(100 * done)) /
                          static_cast<float>(static_cast<std::int64_t>(count));
    return percent < 100.0f ? percent : 100.0f;
}

} // namespace

// The byte buffer, as long as the longest line, is gone before the passes begin.
LineList ReadLines(platform::SharedTextFile& file) {
    LineList lines;
    const platform::AnsiLineDecoder decoder;
    const std::uint64_t size = file.SizeAtOpen();
    if (size < static_cast<std::uint64_t>(SIZE_MAX / sizeof(wchar_t)))
        lines.ReserveIfPossible(static_cast<std::size_t>(size) + 1, decoder);
    std::string_view bytes;
    std::string spill; // for the rare line that a buffer boundary cuts
    for (;;) {
        // Lines are taken straight from the file's buffer, all that lie whole in it at once,
        // each found and converted in one pass.
        const std::string_view ahead = file.Ahead();
        if (const std::size_t taken = ahead.empty() ? 0 : lines.AppendLines(ahead, decoder)) {
            file.Skip(taken);
            continue;
        }
        if (!file.ReadLine(bytes, spill))
            return lines;
        lines.Append(bytes, decoder);
    }
}

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
    // The whole file is held, because it is parsed twice.
    LineList lines = ReadLines(file);
    RunPass(sink, lines, true);
    if (!RunPass(sink, lines, false)) {
        sink->SetCurrentLine(-1);
        sink->ReportMessage(LoadMessage(kUnknownFormat).c_str());
    }
}

bool RunPass(IMeasurementSink* sink, LineList& lines, bool preScan) {
    // The import pass is the last to read the lines, which are freed after it: putting back what
    // its splits overwrote would be wasted.
    CRawDataParser parser(sink, preScan, preScan ? LinesAfterSplit::GivenBack : LinesAfterSplit::Dropped);
    const std::size_t count = lines.Count();
    LineReader reader(lines, preScan ? LineReader::Reads::FewLines : LineReader::Reads::EveryLine);
    for (std::size_t i = 0; i < count; ++i) {
        sink->SetCurrentLine(static_cast<std::int32_t>(i));
        // Most lines the pre-scan passes over at their first character are never widened.
        const std::size_t length = reader.Next();
        if (!preScan || parser.MayHoldFaceObservation(reader.First(), length))
            parser.ParseLine(reader.Text(), length, reader.Bytes());
        sink->SetProgress(LineProgress(i + 1, count));
    }
    parser.Finish();
    sink->SetProgress(100.0f);
    return parser.RecordRecognised();
}
