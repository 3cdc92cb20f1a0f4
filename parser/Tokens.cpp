#include "parser/Tokens.h"

#include <locale>

namespace {

// The global locale's classification, as boost's is_space reads it, fetched once per line.
class SpaceClass {
public:
    SpaceClass() : locale(), ctype(std::use_facet<std::ctype<wchar_t>>(locale)) {}
    bool operator()(wchar_t c) const { return ctype.is(std::ctype_base::space, c); }

private:
    std::locale locale;
    const std::ctype<wchar_t>& ctype;
};

std::wstring_view Trimmed(std::wstring_view field, const SpaceClass& isSpace) {
    std::size_t first = 0;
    std::size_t last = field.size();
    while (first < last && isSpace(field[first]))
        ++first;
    while (last > first && isSpace(field[last - 1]))
        --last;
    return field.substr(first, last - first);
}

} // namespace

void SplitLine(std::wstring_view line, TokenList& tokens, std::size_t maxFields) {
    const SpaceClass isSpace;
    std::size_t count = 0;
    std::size_t start = 0;
    while (count < maxFields) {
        const std::size_t comma = line.find(L',', start);
        const std::wstring_view field = Trimmed(
            line.substr(start, comma == std::wstring_view::npos ? std::wstring_view::npos : comma - start),
            isSpace);
        // Assigning into a token that is already there keeps its buffer for the next line.
        if (count < tokens.size())
            tokens[count].assign(field.data(), field.size());
        else
            tokens.emplace_back(field);
        ++count;
        if (comma == std::wstring_view::npos)
            break;
        start = comma + 1;
    }
    tokens.resize(count);
}
