// Layer names, label text and header units of a drawing, as CAD programs take them.
#include "exchange/CadDrawing.h"
#include "exchange/tests/SurveyFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>

namespace exchange {
namespace {

TEST(CadLayerNames, ValidUniqueAndStableNames) {
    const std::string longCode(300, 'A');
    const std::string longCyrillic = [] {
        std::string text;
        for (int count = 0; count < 200; ++count)
            text += "\xD0\xAF"; // Я, two bytes each
        return text;
    }();
    CadLayerNames names({"STATIONS", "NO_CODE", "0"});
    const struct {
        std::string code;
        std::string name;
    } cases[] = {
        {"TREE", "TREE"},
        {"репер", "репер"},
        {"TREE/OAK", "TREE_OAK"},
        {"a<b>c\\d\"e:f;g?h*i|j=k`l,m", "a_b_c_d_e_f_g_h_i_j_k_l_m"},
        {"tab\there", "tab_here"},
        {"tree", "tree~2"},         // CAD names ignore case
        {"TREE_OAK", "TREE_OAK~2"}, // another code that maps to a name already given
        {"stations", "stations~2"}, // the drawing's own layers
        {"TREE", "TREE"},           // a code keeps its name
        {longCode, std::string(255, 'A')},
        {longCode + "B", std::string(253, 'A') + "~2"},
        {longCyrillic, longCyrillic.substr(0, 254)}, // 127 letters: never half a letter
    };
    for (const auto& entry : cases)
        EXPECT_EQ(names.For(entry.code), entry.name) << entry.code.substr(0, 40);
}

TEST(MTextEscaped, FormattingCodesAreShownAsWritten) {
    const struct {
        std::string text, escaped;
    } cases[] = {
        {"P1", "P1"},       {"a\\", "a\\\\"}, {"{\\C1;red}", "\\{\\\\C1;red\\}"},
        {"%%c", "%{}%c"},   {"50%", "50%"},   {"x^Iy", "x^ Iy"},
        {"Угол1", "Угол1"},
    };
    for (const auto& entry : cases)
        EXPECT_EQ(MTextEscaped(entry.text), entry.escaped) << entry.text;
}

TEST(DrawingHeader, UnitsOfTheDrawing) {
    const struct {
        double metres;
        std::string insUnits, measurement;
    } cases[] = {{1.0, "6", "1"}, {0.3048, "2", "0"}, {1200.0 / 3937.0, "21", "0"}, {0.9144, "0", "1"}};
    for (const auto& entry : cases) {
        const auto header = DrawingHeader(entry.metres, 0.5);
        EXPECT_EQ(header.at("$INSUNITS"), entry.insUnits) << entry.metres;
        EXPECT_EQ(header.at("$MEASUREMENT"), entry.measurement) << entry.metres;
        EXPECT_EQ(header.at("$ACADVER"), "AC1021");
    }
}

TEST(FinishDrawing, HeaderValuesAndLongTextsInChunks) {
    const std::string drawing =
        "  0\nSECTION\n  9\n$INSUNITS\n 70\n     1\n  0\nMTEXT\n  1\nLABEL-0\n  1\nLABEL-0X\n";
    const std::string text = std::string(249, 'a') + "Я" + "b";
    const std::string written = FinishedDrawing(drawing, {{{"$INSUNITS", "6"}}, {{"LABEL-0", text}}, {}});
    // The two-byte letter that would straddle the 250th byte opens the last chunk.
    EXPECT_EQ(written, "  0\nSECTION\n  9\n$INSUNITS\n 70\n6\n  0\nMTEXT\n  3\n" + std::string(249, 'a') +
                           "\n  1\nЯb\n  1\nLABEL-0X\n");
}

// The placeholder MTEXT becomes an ELLIPSE at the same place, with its handle, owner and layer; its
// text, height and other MTEXT groups go, and other entities stay as they were.
TEST(FinishDrawing, PlaceholderTextsBecomeEllipses) {
    const std::string drawing =
        "  0\r\nMTEXT\r\n  5\r\n2A\r\n330\r\n1F\r\n100\r\nAcDbEntity\r\n  8\r\nELL\r\n"
        "100\r\nAcDbMText\r\n 10\r\n12.5\r\n 20\r\n-3\r\n 30\r\n0.0\r\n 40\r\n1\r\n"
        "  1\r\nE-0\r\n 71\r\n1\r\n  0\r\nMTEXT\r\n  1\r\nE-1\r\n  0\r\nEOF\r\n";
    const std::optional<CadEllipse> ellipse = ErrorEllipse(0.004, 0.001, 3.14159265358979 / 6, 500, 1);
    ASSERT_TRUE(ellipse);
    EXPECT_NEAR(ellipse->majorX, 1.0, 1e-9); // 2 units long, 30 degrees east of north
    EXPECT_NEAR(ellipse->majorY, std::sqrt(3.0), 1e-9);
    EXPECT_DOUBLE_EQ(ellipse->ratio, 0.25);
    const std::string written = FinishedDrawing(drawing, {{}, {}, {{"E-0", *ellipse}}});
    EXPECT_EQ(written,
              "  0\r\nELLIPSE\r\n  5\r\n2A\r\n330\r\n1F\r\n100\r\nAcDbEntity\r\n  8\r\nELL\r\n"
              "100\r\nAcDbEllipse\r\n 10\r\n12.5\r\n 20\r\n-3\r\n 30\r\n0.0\r\n 11\r\n1\r\n"
              " 21\r\n1.73205080757\r\n 31\r\n0\r\n 40\r\n0.25\r\n 41\r\n0\r\n 42\r\n6.28318530718\r\n"
              "  0\r\nMTEXT\r\n  1\r\nE-1\r\n  0\r\nEOF\r\n");
    // No size, or axes that are not numbers, draw nothing.
    EXPECT_FALSE(ErrorEllipse(0, 0, 0, 1, 1));
    EXPECT_FALSE(ErrorEllipse(std::nan(""), 0.001, 0, 1, 1));
}

} // namespace
} // namespace exchange
