#include "tools/rdf-import/TextTable.h"

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

TEST(TextTable, PadsByCharactersAndTrimsEachLine) {
    TextTable table{{"name", TextTable::Left}, {"angle", TextTable::Right}, {"code", TextTable::Left}};
    EXPECT_TRUE(table.Empty());
    for (const char* cell : {"Ель3", "1\u00b000'00.0\"", "pole ", "A", "359\u00b059'59.9\"", "", "", "", ""})
        table.Cell(cell);
    EXPECT_EQ(Written(table, "  "), "  name         angle  code\n"
                                    "  Ель3    1\u00b000'00.0\"  pole\n"
                                    "  A     359\u00b059'59.9\"\n"
                                    "\n");

    table.Clear();
    EXPECT_TRUE(table.Empty());
    EXPECT_EQ(Written(table, ""), "name  angle  code\n");
}

} // namespace
} // namespace rdf
