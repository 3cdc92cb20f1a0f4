#include "tools/rdf-import/TextTable.h"

#include <gtest/gtest.h>

namespace rdf {
namespace {

TEST(TextTable, PadsByCharactersAndTrimsEachLine) {
    TextTable table{{"name", TextTable::Left}, {"angle", TextTable::Right}, {"code", TextTable::Left}};
    EXPECT_TRUE(table.Empty());
    for (const char* cell : {"Ель3", "1\u00b000'00.0\"", "pole ", "A", "359\u00b059'59.9\"", "", "", "", ""})
        table.Cell(cell);
    std::string text = "before\n";
    table.AppendTo(text, "  ");
    EXPECT_EQ(text, "before\n"
                    "  name         angle  code\n"
                    "  Ель3    1\u00b000'00.0\"  pole\n"
                    "  A     359\u00b059'59.9\"\n"
                    "\n");

    table.Clear();
    EXPECT_TRUE(table.Empty());
    text.clear();
    table.AppendTo(text, "");
    EXPECT_EQ(text, "name  angle  code\n");
}

} // namespace
} // namespace rdf
