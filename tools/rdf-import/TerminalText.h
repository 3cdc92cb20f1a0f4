// Text for people at a terminal: a name or a message from a file is data, and may hold control
// characters that a terminal would obey (move the cursor, clear the screen, retitle the window).
#pragma once

#include <memory>
#include <streambuf>
#include <string>
#include <string_view>

namespace rdf {

// `text` with every control character but tab and line feed (C0, DEL and the C1 controls
// U+0080 to U+009F) replaced by U+FFFD, which shows where it was.
std::string ForTerminal(std::string_view text);

// Passes what is written to it on to `target` as ForTerminal does, whatever the pieces it comes in.
class TerminalFilter : public std::streambuf {
public:
    explicit TerminalFilter(std::streambuf& target) : target_(target) {}
    ~TerminalFilter() override;
    TerminalFilter(const TerminalFilter&) = delete;
    TerminalFilter& operator=(const TerminalFilter&) = delete;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    bool Put(unsigned char byte);

    std::streambuf& target_;
    bool heldLead_ = false; // a 0xC2 whose next byte decides whether it begins a C1 control
};

} // namespace rdf
