#include "output/TextTable.h"

#include <gtest/gtest.h>

#include <sstream>

namespace rdf {
namespace {

std::string Written(const TextTable& table, std::string_view indent) {
    std::ostringstream stream;
    {
        host::BufferedOutput out(stream);
        table.Write(out, indent);
    }
    return stream.str();
}

const char* const kCells[] = {"Ель3", "1\u00b000'00.0\"", "pole ", "A", "359\u00b059'59.9\"", "", "", "", ""};
const char* const kListed = "  name         angle  code\n"
                            "  Ель3    1\u00b000'00.0\"  pole\n"
                            "  A     359\u00b059'59.9\"\n"
                            "\n";

TEST(TextTable, PadsByCharactersAndTrimsEachLine) {
    TextTable table{{"name", TextTable::Left}, {"angle", TextTable::Right}, {"code", TextTable::Left}};
    EXPECT_TRUE(table.Empty());
    for (const char* cell : kCells)
        table.Cell(cell);
    EXPECT_EQ(Written(table, "  "), kListed);

    table.Clear();
    EXPECT_TRUE(table.Empty());
    EXPECT_EQ(Written(table, ""), "name  angle  code\n");
}

// Measured first and then streamed, a table too long to hold lists as one held whole.
TEST(TextTable, StreamedAfterMeasuringListsAsHeld) {
    TextTable table{{"name", TextTable::Left}, {"angle", TextTable::Right}, {"code", TextTable::Left}};
    std::ostringstream stream;
    {
        host::BufferedOutput out(stream);
        table.WriteRows(out, "  ", [](auto cell) {
            for (const char* text : kCells)
                cell(text);
        });
    }
    EXPECT_EQ(stream.str(), kListed);
}

} // namespace
} // namespace rdf
