// Layer names, label text and header units of a drawing, as CAD programs take them.
#include "exchange/CadDrawing.h"
#include "exchange/tests/SurveyFixture.h"

#include <gtest/gtest.h>

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
    const std::string written = FinishedDrawing(drawing, {{{"$INSUNITS", "6"}}, {{"LABEL-0", text}}});
    // The two-byte letter that would straddle the 250th byte opens the last chunk.
    EXPECT_EQ(written, "  0\nSECTION\n  9\n$INSUNITS\n 70\n6\n  0\nMTEXT\n  3\n" + std::string(249, 'a') +
                           "\n  1\nЯb\n  1\nLABEL-0X\n");
}

} // namespace
} // namespace exchange
