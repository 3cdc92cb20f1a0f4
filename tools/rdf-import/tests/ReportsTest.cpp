#include "tools/rdf-import/Reports.h"

#include <gtest/gtest.h>

#include <sstream>

namespace rdf {
namespace {

host::ImportModel ModelWithAwkwardTexts() {
    host::ImportModel model;
    host::FileResult file;
    file.path = L"job.rdf";
    host::Point point;
    point.name = L"P,1";
    point.northing = 1.5;
    point.code = L"say \"hi\"";
    file.points.push_back(point);
    host::Observation loose;
    loose.target = L"X";
    loose.horizontalAngle = 0.25;
    file.observationsBeforeStation.push_back(loose);
    file.messages.push_back({2, L"no units"});
    file.messages.push_back({std::nullopt, L"about the file"});
    model.files.push_back(file);
    return model;
}

TEST(CsvReport, QuotesFieldsThatHoldSeparatorsOrQuotesAndLeavesAbsentValuesEmpty) {
    std::ostringstream out;
    WriteCsvReport(out, ModelWithAwkwardTexts(), false, AngleStyle::Radians);
    EXPECT_EQ(out.str(), "name,northing,easting,elevation,code\n"
                         "\"P,1\",1.5,,,\"say \"\"hi\"\"\"\n");
}

TEST(CsvReport, ObservationsBeforeAnyStationHaveAnEmptyStation) {
    std::ostringstream out;
    WriteCsvReport(out, ModelWithAwkwardTexts(), true, AngleStyle::Radians);
    EXPECT_EQ(out.str(),
              "station,target,face,target_height,slope_distance,horizontal_angle,vertical_angle,code\n"
              ",X,,,,0.25,,\n");
}

TEST(TextListing, MessagesReadLikeDiagnosticsWithLinesCountedFromOne) {
    std::ostringstream out;
    WriteTextListing(out, ModelWithAwkwardTexts(), AngleStyle::Dms);
    const std::string listing = out.str();
    EXPECT_NE(listing.find("job.rdf:3: no units\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("job.rdf: about the file\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("observations before any station"), std::string::npos) << listing;
}

} // namespace
} // namespace rdf
