// The --to table: a format by name or extension, and the usage errors found before an import.
#include "tools/rdf-import/Destinations.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace rdf {
namespace {

// Each test has the exchange module this build made, loaded when the test first needs it.
class Destinations : public ::testing::Test {
protected:
    exchange::WriterModule writers{NIKON_BUILT_EXCHANGE_MODULE};
};

// The extension chooses in any case, and --to-format, in any case, overrides it.
TEST(DestinationFormat, TheExtensionOrToFormatChoosesTheRow) {
    const struct {
        DestinationRequest request;
        std::string_view format;
    } cases[] = {
        {{"out/site.GPKG", "", ""}, "GPKG"},
        {{"site.json", "", ""}, "GeoJSON"},
        {{"day.HTM", "", ""}, "HTML"},
        {{"site.txt", "gpkg", ""}, "GPKG"},
        {{"site.gpkg", "LandXml", ""}, "LandXML"},
    };
    for (const auto& entry : cases)
        EXPECT_EQ(ChooseFormat(entry.request).name, entry.format) << entry.request.path;
}

TEST_F(Destinations, HtmlIsTheSurveyReport) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "rdf-destinations-report";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    survey::FileSurvey file;
    file.path = "missing.rdf";
    file.outcome = "cannot open";
    file.messages.push_back({std::nullopt, "cannot be opened"});
    for (const char* name : {"day.html", "day.HTM"}) {
        const std::filesystem::path path = folder / name;
        EXPECT_TRUE(WriteDestinations({file}, {{path.string()}, "", ""}, writers).empty()) << name;
        std::ifstream written(path);
        const std::string page((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
        EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u) << name;
        EXPECT_NE(page.find("<td>cannot be opened</td>"), std::string::npos) << name;
        EXPECT_EQ(page.find("<h2>Adjustment</h2>"), std::string::npos) << name;
    }
    // An adjusted run's summary reaches the report.
    survey::AdjustmentSummary adjustment;
    adjustment.method = "compass rule";
    const std::filesystem::path adjusted = folder / "adjusted.html";
    EXPECT_TRUE(WriteDestinations({file}, {{adjusted.string()}, "", ""}, writers, &adjustment).empty());
    std::ifstream written(adjusted);
    const std::string page((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
    EXPECT_NE(page.find("<h2>Adjustment</h2>"), std::string::npos);
    EXPECT_NE(page.find("<td>compass rule</td>"), std::string::npos);
    // An unwritable place is a write failure, and leaves nothing behind.
    const std::vector<DestinationFailure> failures =
        WriteDestinations({file}, {{(folder / "no-such-folder/day.html").string()}, "", ""}, writers);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_FALSE(failures[0].usage);
    std::filesystem::remove_all(folder);
}

TEST_F(Destinations, MistakesAreUsageErrorsInTheUsersTerms) {
    const struct {
        DestinationRequest request;
        std::string message;
    } cases[] = {
        {{"out.pdf", "", ""},
         "--to out.pdf: the extension names no format rdf-import writes (.html .htm .gpkg"},
        {{"out.gpkg", "PDF", ""}, "--to-format PDF: not a format rdf-import writes (HTML, GPKG"},
        {{"out.kml", "", ""},
         "--to out.kml: KML holds WGS 84 longitudes and latitudes; give the survey's reference system with "
         "--crs"},
        {{"out.gpkg", "", "EPSG:0"}, "--crs EPSG:0: not a reference system GDAL knows"},
        {{"out.xml", "", "EPSG:4326"},
         "--crs EPSG:4326: a geographic reference system cannot hold plane survey"},
        {{"out.dxf", "", "", 0.0}, "--label-height: a label height is a length above 0"},
    };
    for (const auto& entry : cases) {
        const DestinationRequest& request = entry.request;
        const std::optional<std::string> error = DestinationUsageError(
            {{request.path}, request.format, request.crs, request.labelHeight}, writers);
        EXPECT_EQ(error.value_or("").rfind(entry.message, 0), 0u) << error.value_or("no error");
    }
}

TEST_F(Destinations, OptionsWithoutAFileAreUsageErrors) {
    EXPECT_EQ(DestinationUsageError({{}, "", "EPSG:32633"}, writers), "--crs applies to --to files only");
    EXPECT_EQ(DestinationUsageError({{}, "GPKG", ""}, writers), "--to-format applies to --to files only");
    EXPECT_EQ(DestinationUsageError({{"a.gpkg", "b.xml"}, "", ""}, writers), std::nullopt);
}

// A destination that fails leaves the others written: without the exchange module only its
// destinations fail, as write failures naming the file looked for; the check before the import
// leaves that to the write.
TEST_F(Destinations, AMissingExchangeModuleFailsOnlyItsDestinations) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "rdf-destinations-module";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    exchange::WriterModule missing(folder / "rdf-exchange.so");
    const DestinationOptions options{{(folder / "a.gpkg").string(), (folder / "b.html").string()}, "", ""};
    EXPECT_EQ(DestinationUsageError(options, missing), std::nullopt);
    const std::vector<DestinationFailure> failures = WriteDestinations({}, options, missing);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_FALSE(failures[0].usage);
    EXPECT_NE(
        failures[0].message.find("cannot load the exchange writers " + (folder / "rdf-exchange.so").string()),
        std::string::npos)
        << failures[0].message;
    EXPECT_FALSE(std::filesystem::exists(folder / "a.gpkg"));
    EXPECT_TRUE(std::filesystem::exists(folder / "b.html"));
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace rdf
