#include "tools/rdf-import/TerminalText.h"

namespace rdf {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
constexpr unsigned char kC1Lead = 0xC2; // U+0080 to U+00BF in UTF-8; C1 controls end 0x80 to 0x9F

bool IsC0OrDelete(unsigned char byte) {
    return (byte < 0x20 && byte != '\t' && byte != '\n') || byte == 0x7F;
}

bool EndsC1(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F;
}

} // namespace

std::string ForTerminal(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (IsC0OrDelete(byte)) {
            shown += kReplacement;
        } else if (byte == kC1Lead && i + 1 < text.size() &&
                   EndsC1(static_cast<unsigned char>(text[i + 1]))) {
            shown += kReplacement;
            ++i;
        } else {
            shown += text[i];
        }
    }
    return shown;
}

TerminalFilter::~TerminalFilter() {
    if (heldLead_)
        target_.sputc(static_cast<char>(kC1Lead));
}

bool TerminalFilter::Put(unsigned char byte) {
    const auto put = [this](std::string_view text) {
        return target_.sputn(text.data(), static_cast<std::streamsize>(text.size())) ==
               static_cast<std::streamsize>(text.size());
    };
    if (heldLead_) {
        heldLead_ = false;
        if (EndsC1(byte))
            return put(kReplacement);
        if (!put(std::string_view("\xC2", 1)))
            return false;
    }
    if (byte == kC1Lead) {
        heldLead_ = true;
        return true;
    }
    if (IsC0OrDelete(byte))
        return put(kReplacement);
    const char c = static_cast<char>(byte);
    return put(std::string_view(&c, 1));
}

TerminalFilter::int_type TerminalFilter::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    return Put(static_cast<unsigned char>(traits_type::to_char_type(c))) ? c : traits_type::eof();
}

// Runs of bytes that need no change are passed on whole.
std::streamsize TerminalFilter::xsputn(const char* text, std::streamsize count) {
    std::streamsize run = 0;
    for (std::streamsize i = 0; i < count; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!heldLead_ && byte != kC1Lead && !IsC0OrDelete(byte))
            continue;
        if (target_.sputn(text + run, i - run) != i - run || !Put(byte))
            return run;
        run = i + 1;
    }
    return target_.sputn(text + run, count - run) == count - run ? count : run;
}

int TerminalFilter::sync() {
    return target_.pubsync();
}

} // namespace rdf
