#include "parser/Tokens.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/algorithm/string/trim.hpp>

void SplitLine(std::wstring_view line, TokenList& tokens) {
    boost::algorithm::split(tokens, line, boost::algorithm::is_any_of(L","),
                            boost::algorithm::token_compress_off);
    for (std::wstring& token : tokens)
        boost::algorithm::trim(token);
}
