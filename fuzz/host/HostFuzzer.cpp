// The fuzz target of the host side: the input is a raw data file, optionally followed by a file of
// known points after a line "@known-points". The file goes through the module, the reduction and
// every output of rdf-import (its own formats, the HTML report, LandXML and a GDAL format chosen by
// the input's size), and each output is checked for its format's rules; a broken rule aborts.
#include "exchange/Exchange.h"
#include "fuzz/host/HostRun.h"
#include "fuzz/host/OutputChecks.h"
#include "host/ThreadEncoding.h"
#include "report/HtmlReport.h"
#include "survey/KnownPoints.h"
#include "tools/rdf-import/OutputFormats.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>

namespace {

constexpr std::string_view kKnownPointsMark = "\n@known-points\n";

struct Input {
    std::string_view raw;
    std::string_view knownPoints; // empty when the input has none
};

Input Split(std::string_view bytes) {
    const std::size_t mark = bytes.find(kKnownPointsMark);
    if (mark == std::string_view::npos)
        return {bytes, {}};
    return {bytes.substr(0, mark + 1), bytes.substr(mark + kKnownPointsMark.size())};
}

[[noreturn]] void Finding(const std::string& output, const std::string& what) {
    std::fprintf(stderr, "host output broken: %s: %s\n", output.c_str(), what.c_str());
    std::abort();
}

void Expect(const hostfuzz::Fault& fault, const std::string& output) {
    if (fault)
        Finding(output, *fault);
}

// A folder of this process's own in TMPDIR, holding the raw file and the exchange files of one
// input at a time, removed at exit.
class ScratchFolder {
public:
    ScratchFolder() {
        const char* dir = std::getenv("TMPDIR");
        std::string pattern =
            std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/nikon-hostfuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        folder = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Write(const std::string& name, std::string_view bytes) const {
        const std::filesystem::path path = folder / name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush())
            std::abort();
        return path.string();
    }
    // A fresh, empty folder for one destination's files.
    std::filesystem::path Outputs() const {
        const std::filesystem::path outputs = folder / "out";
        std::filesystem::remove_all(outputs);
        std::filesystem::create_directory(outputs);
        return outputs;
    }

private:
    std::filesystem::path folder;
};

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The input's size picks the options, so that the fuzzer's length mutations reach each of them;
// the moduli are coprime, so every combination is reached.
hostfuzz::HostRunOptions OptionsFor(std::size_t size, std::string_view knownPoints) {
    constexpr host::AngleStyle kAngles[] = {host::AngleStyle::Dms, host::AngleStyle::Degrees,
                                            host::AngleStyle::Gons, host::AngleStyle::Radians};
    constexpr std::optional<survey::LengthUnit> kUnits[] = {std::nullopt, survey::LengthUnit::Metre,
                                                            survey::LengthUnit::InternationalFoot,
                                                            survey::LengthUnit::UsSurveyFoot, std::nullopt};
    constexpr survey::ZeroVa kZeroVa[] = {survey::ZeroVa::Zenith, survey::ZeroVa::Horizontal,
                                          survey::ZeroVa::Compass};
    hostfuzz::HostRunOptions options;
    options.angles = kAngles[size % std::size(kAngles)];
    options.survey.units = kUnits[size % std::size(kUnits)];
    if (const std::size_t zeroVa = size % 11; zeroVa < std::size(kZeroVa)) // else the job's own
        options.survey.overrides.zeroVa = kZeroVa[zeroVa];
    options.survey.eastingFirst = size % 3 == 1;
    options.survey.options.curvatureAndRefraction = size % 13 < 4;
    if (!knownPoints.empty()) {
        std::istringstream in{std::string(knownPoints)};
        survey::KnownPointList list = survey::ReadKnownPoints(in, survey::LengthUnit::Metre);
        // rdf-import refuses a file with errors; the raw file is still worth reducing without it.
        if (list.errors.empty())
            options.survey.options.userPoints = std::move(list.points);
    }
    return options;
}

// rdf-import's own formats, each from its own import of the file.
struct ToolFormat {
    const char* name;
    hostfuzz::HostRunFormat format;
    bool observations;
    hostfuzz::Fault (*check)(std::string_view); // null: the format has no rules to check
};
constexpr ToolFormat kToolFormats[] = {
    {"text", {rdf::MakeTextWriter, false, true, true}, false, nullptr},
    {"json", {rdf::MakeJsonWriter, false, true, true}, false, hostfuzz::CheckJson},
    {"csv", {rdf::MakeCsvWriter, false, false, false}, false, hostfuzz::CheckCsv},
    {"csv", {rdf::MakeCsvWriter, false, false, false}, true, hostfuzz::CheckCsv},
    {"points", {nullptr, false, true, false}, false, hostfuzz::CheckCsv}, // the reduction's point list
    {"trace", {nullptr, true, false, false}, false, nullptr},
};

// The exchange formats. Each file they write is checked by `check`, or read back by GDAL when it
// has none. LandXML is written for every input; one GDAL format is picked by the input's size.
struct ExchangeFormat {
    const char* name;
    const char* file;
    const char* crs; // a format of longitudes and latitudes needs the survey's system
    hostfuzz::Fault (*check)(std::string_view);
};
constexpr ExchangeFormat kLandXml = {"LandXML", "survey.xml", "", hostfuzz::CheckXml};
constexpr ExchangeFormat kGdalFormats[] = {
    {"GPKG", "survey.gpkg", "", nullptr},
    {"GeoJSON", "survey.geojson", "EPSG:32633", hostfuzz::CheckJson},
    {"DXF", "survey.dxf", "", nullptr},
    {"ESRI Shapefile", "survey.shp", "", nullptr},
    {"KML", "survey.kml", "EPSG:32633", hostfuzz::CheckXml},
    {"FlatGeobuf", "survey.fgb", "", nullptr},
    {"CSV", "survey.csv", "", hostfuzz::CheckCsv},
};

// GDAL opens the file and reads every feature of every layer.
hostfuzz::Fault ReadBack(const std::filesystem::path& path) {
    const GDALDatasetUniquePtr dataset(
        GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (!dataset)
        return "GDAL cannot open " + path.filename().string();
    for (OGRLayer* layer : dataset->GetLayers()) {
        for (const auto& feature : *layer)
            static_cast<void>(feature);
    }
    return std::nullopt;
}

void WriteExchange(const ExchangeFormat& format, const std::vector<survey::FileSurvey>& surveys,
                   const ScratchFolder& scratch) {
    const std::filesystem::path folder = scratch.Outputs();
    const std::filesystem::path target = folder / format.file;
    try {
        exchange::Write(surveys, {target.string(), *rdf::FindFormat(format.name, rdf::Target::File)->exchange, format.crs});
    } catch (const exchange::Error&) {
        return; // refused, with a message the user sees: what the checks ask of a failure
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.front() == '.')
            Finding(format.name, "a staging folder was left behind: " + name);
        if (entry.path().extension() != target.extension())
            continue; // a companion (.dbf, .shx, .prj) of the file GDAL reads
        Expect(format.check != nullptr ? format.check(ReadFile(entry.path())) : ReadBack(entry.path()),
               std::string(format.name) + " " + name);
    }
}

// The thread character set the module decodes names with: UTF-8 where the machine has it.
const host::EncodingLocale& Encoding() {
    static const host::EncodingLocale locale =
        host::EncodingLocale::Find("UTF-8").value_or(host::EncodingLocale::FromEnvironment());
    return locale;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFolder scratch;
    static const bool registered = (GDALAllRegister(), true);
    static_cast<void>(registered);
    const Input input = Split({reinterpret_cast<const char*>(data), size});
    const std::string raw = scratch.Write("job.rdf", input.raw);
    const hostfuzz::HostRunOptions options = OptionsFor(size, input.knownPoints);
    const host::ScopedThreadLocale threadLocale(Encoding());

    std::vector<survey::FileSurvey> surveys;
    for (const ToolFormat& tool : kToolFormats) {
        hostfuzz::HostRunOptions run = options;
        run.observations = tool.observations;
        hostfuzz::HostRunResult result = hostfuzz::RunFormat(raw, tool.format, run);
        if (tool.check != nullptr)
            Expect(tool.check(result.output), tool.name);
        surveys = std::move(result.surveys);
    }

    std::ostringstream html;
    report::WriteHtmlReport(html, surveys);
    Expect(hostfuzz::CheckHtml(html.str()), "HTML report");

    WriteExchange(kLandXml, surveys, scratch);
    WriteExchange(kGdalFormats[size % std::size(kGdalFormats)], surveys, scratch);
    return 0;
}
