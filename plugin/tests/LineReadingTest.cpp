// What the parser sees of a file's bytes: line ends, end-of-input byte, zero bytes, character
// sets, and lines of any length.
#include "platform/AnsiText.h"
#include "platform/TextFile.h"
#include "plugin/ImportDriver.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

namespace testing_host {
namespace {

// The lines of `list` as a pass reads them; each must be followed by the zero the parser relies on.
std::vector<std::wstring> Lines(LineList& list, LineReader::Reads reads = LineReader::Reads::EveryLine,
                                LineReader::Widening widen = LineReader::Fastest()) {
    std::vector<std::wstring> lines;
    LineReader reader(list, reads, widen);
    for (std::size_t i = 0; i < list.Count(); ++i) {
        const std::size_t length = reader.Next();
        const wchar_t first = reader.First();
        const wchar_t* text = reader.Text();
        EXPECT_EQ(text[length], L'\0') << "line " << i;
        EXPECT_EQ(first, text[0]) << "line " << i;
        // A kept line's bytes, which the split may search instead, are its characters.
        const char* bytes = reader.Bytes();
        if (bytes != nullptr) {
            EXPECT_EQ(std::wstring(bytes, bytes + length + 1), std::wstring(text, length + 1))
                << "line " << i;
        }
        lines.emplace_back(text, length);
    }
    return lines;
}

// The lines as the import reads them; each must be followed by the zero the parser relies on.
std::vector<std::wstring> ReadLines(const TempDir& dir, const std::string& bytes) {
    platform::SharedTextFile file;
    EXPECT_TRUE(file.Open(dir.Write("lines.rdf", bytes).wstring()));
    EXPECT_EQ(file.SizeAtOpen(), bytes.size());
    LineList list = ::ReadLines(file);
    return Lines(list);
}

struct LineCase {
    const char* what;
    std::string bytes;
    std::vector<std::wstring> lines;
};

void PrintTo(const LineCase& c, std::ostream* out) {
    *out << c.what;
}

class LineContent : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineContent, ReadsAsTextMode) {
    TempDir dir;
    EXPECT_EQ(ReadLines(dir, GetParam().bytes), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LineContent,
    ::testing::Values(LineCase{"empty", "", {}}, LineCase{"lf", "A\nB\n", {L"A", L"B"}},
                      LineCase{"crlf", "A\r\nB\r\n", {L"A", L"B"}},
                      LineCase{"no final feed", "A\nB", {L"A", L"B"}},
                      LineCase{"inner empty lines", "A\n\n\nB\n", {L"A", L"", L"", L"B"}},
                      LineCase{"only feed", "\n", {L""}},
                      LineCase{"lone carriage returns stay", "A\r\r\nB\r\n", {L"A\r", L"B"}},
                      LineCase{"cr cr before crlf", std::string("A\r\rB\r\n"), {L"A\r\rB"}},
                      LineCase{"cr only ends", "A\rB\rC", {L"A\rB\rC"}},
                      LineCase{"trailing cr at end of file", "A\r", {L"A\r"}},
                      LineCase{"byte 26 ends input",
                               std::string("A\nB\x1A"
                                           "C\nD\n"),
                               {L"A", L"B"}},
                      LineCase{"byte 26 after a feed",
                               std::string("A\n\x1A"
                                           "B\n"),
                               {L"A"}},
                      LineCase{"byte 26 first",
                               std::string("\x1A"
                                           "A\n"),
                               {}},
                      LineCase{"zero byte cuts its line", std::string("AB\0CD\nEF\n", 9), {L"AB", L"EF"}},
                      LineCase{"zero byte first", std::string("\0AB\nC", 5), {L"", L"C"}}),
    [](const auto& info) {
        std::string name;
        for (char c : std::string(info.param.what))
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(LineContent, CrLfSplitAcrossReadBuffers) {
    TempDir dir;
    // The carriage return falls on the last byte of the first 64 KiB read.
    const std::string first(64 * 1024 - 1, 'x');
    const auto lines = ReadLines(dir, first + "\r\nB\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::wstring(first.size(), L'x'));
    EXPECT_EQ(lines[1], L"B");
}

// Runs `check` in each of the three character sets whose decoding differs that this machine has.
template <class Check> void InEachCharacterSet(Check check) {
    for (const char* name : {"C", "C.UTF-8", "ru_RU.CP1251"}) {
        ScopedThreadLocale locale(name);
        if (locale.Active())
            check(name, platform::AnsiLineDecoder());
    }
}

// Lines are found and widened straight from the read buffer: whatever bytes end or interrupt a
// plain line, at any place of a chunk, the lines must be those a line-by-line read converts.
TEST(LineContent, BufferedLinesMatchLineByLineReading) {
    InEachCharacterSet([&](const char* name, const platform::AnsiLineDecoder& decoder) {
        std::mt19937 random(11);
        const std::string alphabet("SS,1.2 abcdefgh\n\n\r\t\0\xC3\xA9\x0B\x7F", 24);
        for (int round = 0; round < 150; ++round) {
            std::string bytes;
            // Some files hold more lines than one batch of conversion takes.
            const std::size_t longest = round % 10 == 0 ? 20000 : 200;
            const std::size_t size = std::uniform_int_distribution<std::size_t>(0, longest)(random);
            for (std::size_t i = 0; i < size; ++i)
                bytes += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
            TempDir dir;
            platform::SharedTextFile file;
            ASSERT_TRUE(file.Open(dir.Write("random.rdf", bytes).wstring()));
            std::vector<std::wstring> expected;
            for (std::string line; file.ReadLine(line);)
                expected.push_back(decoder.Convert(line));
            ASSERT_EQ(ReadLines(dir, bytes), expected) << name << ", round " << round;
        }
    });
}

// Where the size is not known beforehand (a file growing on Windows) the list grows itself, lines
// kept as bytes and lines converted alike, in every character set.
TEST(LineContent, ListGrowsBeyondWhatWasReserved) {
    InEachCharacterSet([&](const char* name, const platform::AnsiLineDecoder& decoder) {
        LineList list;
        list.Reserve(3, decoder);
        std::vector<std::wstring> expected;
        for (int i = 0; i < 2000; ++i) {
            std::string bytes =
                std::string(static_cast<std::size_t>(i % 97), 'a' + i % 26) + std::to_string(i);
            if (i % 7 == 0)
                bytes += i % 2 ? "\xC3\xA9" : "\t";
            list.Append(bytes, decoder);
            expected.push_back(decoder.Convert(bytes));
        }
        ASSERT_EQ(list.Count(), expected.size());
        for (const auto reads : {LineReader::Reads::FewLines, LineReader::Reads::EveryLine})
            for (const auto widen : {LineReader::Portable(), LineReader::Fastest()})
                EXPECT_EQ(Lines(list, reads, widen), expected) << name;
    });
}

TEST(AnsiConversion, LongLinesConvertLikeShortOnes) {
    for (std::size_t length : {0u, 1u, 126u, 127u, 128u, 129u, 1000u}) {
        std::string bytes;
        std::wstring expected;
        for (std::size_t i = 0; i < length; ++i) {
            bytes += static_cast<char>('a' + i % 26);
            expected += static_cast<wchar_t>(L'a' + i % 26);
        }
        EXPECT_EQ(platform::AnsiLineDecoder().Convert(bytes), expected) << length;
    }
}

TEST(AnsiConversion, SingleByteCodePageCp1251) {
    ScopedThreadLocale cp1251("ru_RU.CP1251");
    ASSERT_TRUE(cp1251.Active()) << "locale ru_RU.CP1251 missing: run scripts/install-deps.sh as root";
    const platform::AnsiLineDecoder decoder;
    // "ST,Пункт1" in CP1251, then the same past the 128-byte frame.
    const std::string shortLine = "ST,\xCF\xF3\xED\xEA\xF2"
                                  "1";
    EXPECT_EQ(decoder.Convert(shortLine), L"ST,\u041F\u0443\u043D\u043A\u0442"
                                          "1");
    const std::string longLine = std::string(200, '\xE6');
    EXPECT_EQ(decoder.Convert(longLine), std::wstring(200, L'\u0436'));
    // 0x98 is the one byte CP1251 leaves unassigned.
    EXPECT_EQ(decoder.Convert("\x98"), L"\uFFFD");
}

TEST(AnsiConversion, Utf8WithInvalidSequences) {
    ScopedThreadLocale utf8("C.UTF-8");
    ASSERT_TRUE(utf8.Active());
    const platform::AnsiLineDecoder decoder;
    EXPECT_EQ(decoder.Convert("MC,\xD0\x9F"
                              "1"),
              L"MC,\u041F"
              "1");
    EXPECT_EQ(decoder.Convert("a\xFF"
                              "b"),
              L"a\uFFFD"
              "b");
    EXPECT_EQ(decoder.Convert("a\xD0"), L"a\uFFFD");
    EXPECT_EQ(decoder.Convert("\xE2\x82"), L"\uFFFD\uFFFD");
    std::string longLine;
    for (int i = 0; i < 100; ++i)
        longLine += "\xD0\x96";
    EXPECT_EQ(decoder.Convert(longLine), std::wstring(100, L'\u0416'));
    // No byte-order mark is recognised: it is the first character of the line.
    EXPECT_EQ(decoder.Convert("\xEF\xBB\xBF"
                              "CO"),
              L"\uFEFF"
              "CO");
}

// ASCII runs are widened many bytes at a time: a zero byte or a byte above 127 at any place of
// a line of any length must still give what converting byte by byte gives, the zero ending it.
TEST(AnsiConversion, ZeroAndHighBytesAnywhereConvertByteByByte) {
    InEachCharacterSet([&](const char* name, const platform::AnsiLineDecoder& decoder) {
        for (const char odd : {'\0', '\xC0', '\xE6'}) {
            for (std::size_t length = 1; length <= 40; ++length) {
                for (std::size_t at = 0; at < length; ++at) {
                    std::string bytes;
                    for (std::size_t i = 0; i < length; ++i)
                        bytes += i == at ? odd : static_cast<char>('A' + i % 26);
                    std::wstring expected;
                    for (std::size_t i = 0; i < length && bytes[i] != '\0'; ++i)
                        expected += decoder.Convert(bytes.substr(i, 1));
                    EXPECT_EQ(decoder.Convert(bytes), expected) << name << " " << length << " " << at;
                }
            }
        }
    });
}

TEST(AnsiConversion, CLocaleReplacesHighBytes) {
    ScopedThreadLocale c("C");
    ASSERT_TRUE(c.Active());
    // The C locale's character set is ASCII: every byte above 127 is invalid there.
    EXPECT_EQ(platform::AnsiLineDecoder().Convert("A\xC0Z\xFF"), L"A\uFFFDZ\uFFFD");
}

TEST(SharedTextFile, RefusesWhatIsNotARegularFile) {
    TempDir dir;
    platform::SharedTextFile directory;
    EXPECT_FALSE(directory.Open(dir.Path().wstring()));
    platform::SharedTextFile missing;
    EXPECT_FALSE(missing.Open(dir.PathOf("absent")));
    platform::SharedTextFile device;
    EXPECT_FALSE(device.Open(L"/dev/zero"));
}

TEST(SharedTextFile, OpensNonAsciiPathsAsUtf8) {
    TempDir dir;
    dir.Write("\xD0\xBF\xD1\x83\xD0\xBD\xD0\xBA\xD1\x82.rdf", "A\n");
    platform::SharedTextFile file;
    const std::string base = dir.Path().string() + "/";
    ASSERT_TRUE(file.Open(std::wstring(base.begin(), base.end()) + L"\u043F\u0443\u043D\u043A\u0442.rdf"));
    std::string line;
    EXPECT_TRUE(file.ReadLine(line));
    EXPECT_EQ(line, "A");
}

} // namespace
} // namespace testing_host
