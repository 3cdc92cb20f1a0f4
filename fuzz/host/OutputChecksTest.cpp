// The fuzz target's output checks: each must pass what the writers make and catch each fault.
#include "fuzz/host/OutputChecks.h"

#include <gtest/gtest.h>

namespace {

struct CheckCase {
    const char* name;
    hostfuzz::Fault (*check)(std::string_view);
    const char* text;
    bool sound;
};

constexpr const char* kPage = "<!DOCTYPE html><html><head><title>t</title><script>let a = 1;</script></head>"
                              "<body><table><tr><td>%s</td></tr></table>"
                              "<svg viewBox=\"%s\"><path d=\"M0 0L1 1\"/></svg></body></html>";

std::string Page(const char* cell, const char* viewBox) {
    char text[512];
    std::snprintf(text, sizeof text, kPage, cell, viewBox);
    return text;
}

TEST(HostFuzzChecks, PassSoundOutputsAndCatchEachFault) {
    const std::string sound = Page("P1 &lt;b&gt;", "0 0 10 10");
    const std::string markup = Page("<b>P1</b>", "0 0 10 10");
    const std::string handler = Page("<span onmouseover=\"x\">P1</span>", "0 0 10 10");
    const std::string scripts = Page("<script>x()</script>", "0 0 10 10");
    const std::string nanBox = Page("P1", "-nan -nan inf -nan");
    const CheckCase cases[] = {
        {"json", hostfuzz::CheckJson, R"({"a": [1.5, -2e300, null, "nan"]})", true},
        {"json NaN", hostfuzz::CheckJson, R"({"a": NaN})", false},
        {"json Infinity", hostfuzz::CheckJson, R"({"a": -Infinity})", false},
        {"json cut", hostfuzz::CheckJson, R"({"a": [1)", false},
        {"json bad UTF-8", hostfuzz::CheckJson, "{\"a\": \"\xC3\"}", false},
        {"xml", hostfuzz::CheckXml, R"(<L><CgPoint name="nan">1 2 3</CgPoint><S height="1.5"/></L>)", true},
        {"xml control character", hostfuzz::CheckXml, "<L><P name=\"a\x01\"/></L>", false},
        {"xml unclosed", hostfuzz::CheckXml, "<L><P>", false},
        {"xml NaN coordinate", hostfuzz::CheckXml, "<L><CgPoint>1 -nan 3</CgPoint></L>", false},
        {"xml infinite attribute", hostfuzz::CheckXml, R"(<L><S height="inf"/></L>)", false},
        {"kml NaN coordinates", hostfuzz::CheckXml, "<k><coordinates>1,nan,0</coordinates></k>", false},
        {"csv", hostfuzz::CheckCsv, "name,code\n\"a,\"\"b\"\"\nc\",x\nd,\n", true},
        {"csv unquoted comma", hostfuzz::CheckCsv, "name,code\na,b,c\n", false},
        {"csv open quote", hostfuzz::CheckCsv, "name,code\n\"a,b\n", false},
        {"html", hostfuzz::CheckHtml, sound.c_str(), true},
        {"html markup from a name", hostfuzz::CheckHtml, markup.c_str(), false},
        {"html event handler", hostfuzz::CheckHtml, handler.c_str(), false},
        {"html second script", hostfuzz::CheckHtml, scripts.c_str(), false},
        {"html NaN drawing", hostfuzz::CheckHtml, nanBox.c_str(), false},
    };
    for (const CheckCase& test : cases) {
        const hostfuzz::Fault fault = test.check(test.text);
        EXPECT_EQ(!fault.has_value(), test.sound) << test.name << ": " << fault.value_or("sound");
    }
}

} // namespace
