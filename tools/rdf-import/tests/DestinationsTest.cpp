// The --to table: a format by name or extension, and the usage errors found before an import.
#include "tools/rdf-import/Destinations.h"
#include "exchange/Exchange.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace rdf {
namespace {

TEST(Destinations, EveryExchangeFormatIsATableRow) {
    for (const exchange::FormatInfo& format : exchange::Formats()) {
        for (std::string_view extension : format.extensions)
            EXPECT_NO_THROW(CheckDestination({"out" + std::string(extension), "", "EPSG:32633"}))
                << extension;
    }
    EXPECT_NO_THROW(CheckDestination({"out.GPKG", "", ""}));
    EXPECT_NO_THROW(CheckDestination({"out.txt", "landxml", ""}));
}

TEST(Destinations, HtmlIsTheSurveyReport) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "rdf-destinations-report";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    survey::FileSurvey file;
    file.path = "missing.rdf";
    file.outcome = "cannot open";
    file.messages.push_back({std::nullopt, "cannot be opened"});
    for (const char* name : {"day.html", "day.HTM"}) {
        const std::filesystem::path path = folder / name;
        EXPECT_TRUE(WriteDestinations({file}, {{path.string()}, "", ""}).empty()) << name;
        std::ifstream written(path);
        const std::string page((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
        EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u) << name;
        EXPECT_NE(page.find("<td>cannot be opened</td>"), std::string::npos) << name;
    }
    // An unwritable place is a write failure, and leaves nothing behind.
    const std::vector<DestinationFailure> failures =
        WriteDestinations({file}, {{(folder / "no-such-folder/day.html").string()}, "", ""});
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_FALSE(failures[0].usage);
    std::filesystem::remove_all(folder);
}

TEST(Destinations, MistakesAreUsageErrorsInTheUsersTerms) {
    const struct {
        DestinationRequest request;
        std::string message;
    } cases[] = {
        {{"out.pdf", "", ""}, "--to out.pdf: the extension names no format rdf-import writes (.html .htm .gpkg"},
        {{"out.gpkg", "PDF", ""}, "--to-format PDF: not a format rdf-import writes (HTML, GPKG"},
        {{"out.kml", "", ""}, "give the survey's reference system with --crs"},
        {{"out.gpkg", "", "EPSG:0"}, "--crs EPSG:0: not a reference system GDAL knows"},
    };
    for (const auto& entry : cases) {
        try {
            CheckDestination(entry.request);
            ADD_FAILURE() << entry.request.path << " passed";
        } catch (const exchange::Error& error) {
            EXPECT_EQ(error.kind(), exchange::Error::Kind::Usage);
            EXPECT_NE(std::string(error.what()).find(entry.message), std::string::npos) << error.what();
        }
    }
}

TEST(Destinations, OptionsWithoutAFileAreUsageErrors) {
    EXPECT_EQ(DestinationUsageError({{}, "", "EPSG:32633"}), "--crs applies to --to files only");
    EXPECT_EQ(DestinationUsageError({{}, "GPKG", ""}), "--to-format applies to --to files only");
    EXPECT_EQ(DestinationUsageError({{"a.gpkg", "b.xml"}, "", ""}), std::nullopt);
}

TEST(Destinations, AFileThatFailsLeavesTheOthersWritten) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "rdf-destinations-test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const DestinationOptions options{
        {(folder / "missing/a.gpkg").string(), (folder / "b.xml").string()}, "", ""};
    const std::vector<DestinationFailure> failures = WriteDestinations({}, options);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_FALSE(failures[0].usage);
    EXPECT_EQ(failures[0].message.rfind("cannot write " + options.files[0], 0), 0u) << failures[0].message;
    EXPECT_TRUE(std::filesystem::exists(folder / "b.xml"));
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace rdf
