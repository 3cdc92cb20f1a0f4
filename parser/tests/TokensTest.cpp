// The lean line splitting must give exactly what the plain library forms give, for any text:
// random lines are compared with boost's split and trim.
#include "parser/Tokens.h"
#include "tests/TestSupport.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/algorithm/string/trim.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <locale>
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

using testing_host::RandomText;

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
            // The code is read without a split: it must be the split's first token.
            ASSERT_EQ(std::wstring(reused.LeadingField(line.data(), line.size())), BoostSplit(original)[0])
                << name << ", round " << round;
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

// Lines of several blocks' length, split a few fields at a time with and without a token put
// in on the way, must give the whole split's fields. The alphabet holds characters whose low
// byte is a comma's, and characters beyond the basic plane, which no comma search may take
// for one.
TEST(LeanPaths, StepwiseSplitsWithAnInsertionMatchTheWholeSplit) {
    std::mt19937 random(9);
    const std::wstring alphabet = L"SS,1.5 ,\t\u012c\uff2c\U0001002cx";
    const Token inserted(L"unused", 6);
    LineSplitter splitter;
    for (int round = 0; round < 20000; ++round) {
        const std::wstring original = RandomText(random, alphabet, 90);
        Texts expected = BoostSplit(original);
        const std::size_t position = std::uniform_int_distribution<std::size_t>(0, 4)(random);
        // A line without a field at the position gets no insertion.
        const bool insert = round % 2 == 0;
        if (insert && position < expected.size())
            expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(position), L"unused");
        std::wstring line = original;
        std::size_t wanted = std::uniform_int_distribution<std::size_t>(0, 3)(random);
        const TokenList* tokens = &splitter.Split(line.data(), line.size(), wanted,
                                                  insert ? Insertion{position, inserted} : Insertion{});
        while (wanted <= expected.size()) {
            const Texts prefix(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(wanted));
            ASSERT_EQ(Texts(tokens->begin(), tokens->end()), prefix) << "round " << round << ", " << wanted;
            wanted += std::uniform_int_distribution<std::size_t>(1, 4)(random);
            tokens = &splitter.SplitFurther(wanted);
        }
        ASSERT_EQ(Texts(tokens->begin(), tokens->end()), expected) << "round " << round;
        splitter.Restore();
        ASSERT_EQ(line, original) << "round " << round;
    }
}

} // namespace

// A line of printable characters is split without a look at its fields' ends, and a plain ASCII
// line may be searched as its bytes: both must give the whole split's fields, over lines of
// every length around the 32 and 64 characters the split reads at once, mostly printable and
// now and then with a blank to trim, with the widest blocks this processor reads and the
// portable ones.
TEST(LeanPaths, PrintableAndByteSplitsMatchTheWholeSplit) {
    struct Alphabet {
        const wchar_t* characters;
        bool ascii;
    };
    std::mt19937 random(10);
    for (const Alphabet alphabet : {Alphabet{L"SO12.x,,", true}, Alphabet{L"SO12.x,,,,,,,,,,,,,,,, \t", true},
                                    Alphabet{L"SO12.x,,\u00e9", false}}) {
        for (const SplitBlocks blocks : {SplitBlocks::Fastest, SplitBlocks::Portable}) {
            LineSplitter splitter(LinesAfterSplit::GivenBack, blocks);
            for (int round = 0; round < 10000; ++round) {
                const std::wstring original = RandomText(random, alphabet.characters, 160);
                const std::string bytes(original.begin(), original.end()); // the kept line, when ASCII
                const Texts expected = BoostSplit(original);
                for (const bool asBytes : {false, alphabet.ascii}) {
                    std::wstring line = original;
                    const std::size_t wanted = std::uniform_int_distribution<std::size_t>(1, 12)(random);
                    {
                        const ScopedSplit split(splitter, line.data(), line.size(), wanted, Insertion{},
                                                asBytes ? bytes.c_str() : nullptr);
                        const Texts prefix(expected.begin(),
                                           expected.begin() + std::min(wanted, expected.size()));
                        ASSERT_EQ(Texts(split.Tokens().begin(), split.Tokens().end()), prefix)
                            << "round " << round << (asBytes ? ", as bytes" : "");
                    }
                    ASSERT_EQ(line, original) << "round " << round;
                }
            }
        }
    }
}
