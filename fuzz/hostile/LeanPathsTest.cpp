// The lean line splitting and angle rewriting must give exactly what the plain library forms
// give, for any text: random lines are compared with boost's split and trim, random angle texts
// with the string rewrite.
#include "parser/Tokens.h"
#include "settings/AngleDMSConverter.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/algorithm/string/trim.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <locale>
#include <random>
#include <stdexcept>

namespace {

using Texts = std::vector<std::wstring>;

Texts BoostSplit(std::wstring_view line) {
    Texts tokens;
    boost::algorithm::split(tokens, line, boost::algorithm::is_any_of(L","),
                            boost::algorithm::token_compress_off);
    for (std::wstring& token : tokens)
        boost::algorithm::trim(token);
    return tokens;
}

std::wstring RandomText(std::mt19937& random, const std::wstring& alphabet, std::size_t longest) {
    std::wstring text(std::uniform_int_distribution<std::size_t>(0, longest)(random), L' ');
    for (wchar_t& c : text)
        c = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
    return text;
}

// Restores the global locale a test replaced.
class GlobalLocale {
public:
    explicit GlobalLocale(const std::locale& locale) : previous(std::locale::global(locale)) {}
    ~GlobalLocale() { std::locale::global(previous); }
    GlobalLocale(const GlobalLocale&) = delete;
    GlobalLocale& operator=(const GlobalLocale&) = delete;

private:
    std::locale previous;
};

TEST(LeanPaths, SplitLineMatchesBoostOnRandomLines) {
    // Under UTF-8 the ideographic space and the line separator count as space too.
    for (const char* name : {"C", "ru_RU.utf8"}) {
        std::locale locale;
        try {
            locale = std::locale(name);
        } catch (const std::runtime_error&) {
            GTEST_SKIP() << name << " is not installed (scripts/install-deps.sh makes it)";
        }
        const GlobalLocale global(locale);
        std::mt19937 random(7);
        const std::wstring alphabet = L"ab,, \t\r\v\f\n1.-\u00a0\u3000\u2028\xfffd";
        LineSplitter reused;
        for (int round = 0; round < 20000; ++round) {
            const std::wstring original = RandomText(random, alphabet, 40);
            std::wstring line = original;
            {
                const ScopedSplit split(reused, line);
                ASSERT_EQ(Texts(split.Tokens().begin(), split.Tokens().end()), BoostSplit(original))
                    << name << ", round " << round;
            }
            ASSERT_EQ(line, original) << name << ", round " << round;
        }
    }
}

TEST(LeanPaths, LeadingFieldsAreThoseOfTheWholeSplit) {
    std::mt19937 random(8);
    LineSplitter leading;
    for (int round = 0; round < 5000; ++round) {
        const std::wstring original = RandomText(random, L"F1, x\t", 20);
        const Texts whole = BoostSplit(original);
        std::wstring line = original;
        for (std::size_t fields = 1; fields <= 3; ++fields) {
            const TokenList& tokens = leading.Split(line, fields);
            const Texts expected(whole.begin(), whole.begin() + std::min(fields, whole.size()));
            ASSERT_EQ(Texts(tokens.begin(), tokens.end()), expected)
                << fields << " field(s), round " << round;
        }
        leading.Restore();
        ASSERT_EQ(line, original) << "round " << round;
    }
}

// Keeps the text it was handed, as a degrees converter would read it.
class TextCatcher : public Plugin::IAngleConverter {
public:
    void AddRef() override { ++count; }
    bool Release() override { return --count == 0; }
    bool Convert(const wchar_t* text, double* value) override {
        handed = text;
        *value = 1.0;
        return true;
    }

    std::wstring handed;
    int count = 1;
};

// The rewrite as plain string edits: a point before the third and the fifth character after the
// first point, where the text goes on that far; empty when the text holds no point.
std::wstring StringRewrite(std::wstring text) {
    const std::size_t point = text.find(L'.');
    if (point == std::wstring::npos)
        return {};
    const std::size_t after = text.size() - point - 1;
    if (after > 2)
        text.insert(point + 3, 1, L'.');
    if (after > 4)
        text.insert(point + 6, 1, L'.');
    return text;
}

TEST(LeanPaths, AngleRewriteMatchesTheStringRewrite) {
    std::mt19937 random(9);
    TextCatcher degrees;
    {
        CAngleDMSConverter converter(&degrees);
        for (int round = 0; round < 20000; ++round) {
            // Up to 70 characters: both the stack frame and the heap path are taken.
            const std::wstring text = RandomText(random, L"0123456789..-", 70);
            const std::wstring expected = StringRewrite(text);
            degrees.handed = L"<not called>";
            double value = 0.0;
            const bool converted = converter.Convert(text.c_str(), &value);
            ASSERT_EQ(converted, !expected.empty()) << round;
            if (converted)
                ASSERT_EQ(degrees.handed, expected) << round;
            else
                ASSERT_EQ(degrees.handed, L"<not called>") << round;
        }
    }
    EXPECT_EQ(degrees.count, 1); // the wrapper gave back the reference it took
}

} // namespace
