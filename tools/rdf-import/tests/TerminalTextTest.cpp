#include "tools/rdf-import/TerminalText.h"

#include <gtest/gtest.h>

#include <sstream>

namespace rdf {
namespace {

// Control characters become U+FFFD, in one piece or written a byte at a time; text passes.
TEST(TerminalText, ControlCharactersNeverReachTheTerminal) {
    const std::string r = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> cases[] = {
        {"P100 \xD0\x96 tab\there\n", "P100 \xD0\x96 tab\there\n"}, // UTF-8, tab and line feed pass
        {"\x1b[2JA", r + "[2JA"},                                   // clears the screen
        {"T\x1b]0;title\x07", "T" + r + "]0;title" + r},            // retitles the window
        {"a\rb\x7f", "a" + r + "b" + r},
        {"\xC2\x9B"
         "31m\xC2\xA0",
         r + "31m\xC2\xA0"}, // the C1 CSI, then a no-break space that stays
        {"end\xC2", "end\xC2"},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(ForTerminal(text), shown) << text;
        for (const bool bytewise : {false, true}) {
            std::ostringstream target;
            {
                TerminalFilter filter(*target.rdbuf());
                std::ostream out(&filter);
                if (bytewise) {
                    for (const char c : text)
                        out.put(c);
                } else {
                    out << text;
                }
            }
            EXPECT_EQ(target.str(), shown) << text << (bytewise ? " a byte at a time" : "");
        }
    }
}

} // namespace
} // namespace rdf
