// Running the parser alone, without the driver, for the record suites.
#include "parser/RawDataParser.h"
#include "tests/TestSupport.h"

#include <algorithm>

namespace testing_host {

namespace {

Log RunPass(RecordingHost& host, const std::wstring& text, bool preScan) {
    {
        CRawDataParser parser(&host.sink, preScan);
        std::wstring::size_type begin = 0;
        while (begin <= text.size()) {
            const auto end = std::min(text.find(L'\n', begin), text.size());
            std::wstring line = text.substr(begin, end - begin);
            parser.ParseLine(line.data(), line.size());
            begin = end + 1;
        }
        parser.Finish();
        host.Record(std::string("result=") + (parser.RecordRecognised() ? "true" : "false"));
    }
    return host.Take();
}

} // namespace

Log RunImportPass(RecordingHost& host, const std::wstring& text) {
    return RunPass(host, text, false);
}
Log RunPreScanPass(RecordingHost& host, const std::wstring& text) {
    return RunPass(host, text, true);
}
Log AfterFactory(const Log& calls) {
    Log log{"GetConverterFactory=factory#1"};
    log.insert(log.end(), calls.begin(), calls.end());
    return log;
}

} // namespace testing_host
