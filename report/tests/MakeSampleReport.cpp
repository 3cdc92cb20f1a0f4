// Writes the report of an adjusted sample run, or of a large generated job, for the browser check and for
// measuring how the page scales.
#include "report/HtmlReport.h"
#include "report/tests/SampleSurvey.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

int main(int argc, char** argv) {
    const std::string usage = "usage: report-sample OUT.html | report-sample --large STATIONS SHOTS OUT.html";
    std::vector<survey::FileSurvey> files;
    std::string output;
    std::optional<survey::AdjustmentSummary> adjustment;
    if (argc == 2) {
        files = report::testing::SampleRun();
        report::testing::Adjust(files.front());
        adjustment = report::testing::SampleAdjustment();
        output = argv[1];
    } else if (argc == 5 && std::string(argv[1]) == "--large") {
        files.push_back(report::testing::LargeJob(std::atoi(argv[2]), std::atoi(argv[3])));
        output = argv[4];
    } else {
        std::cerr << usage << '\n';
        return 2;
    }
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    report::WriteHtmlReport(out, files, adjustment ? &*adjustment : nullptr);
    out.close();
    if (!out) {
        std::cerr << "report-sample: cannot write " << output << '\n';
        return 1;
    }
    return 0;
}
