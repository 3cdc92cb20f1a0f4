// Files a user may pick by mistake or malice. Each import must end, keep the host's rules (the
// checking host turns every broken one into a violation), release every host object, and stay
// within the memory the file's lines need.
#include "fuzz/ImportRun.h"
#include "fuzz/hostile/HostileSupport.h"
#include "tests/support/Text.h"
#include "tests/support/ThreadLocale.h"

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <csignal>
#include <fcntl.h>
#include <ostream>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace hostile {
namespace {

using Calls = std::vector<std::string>;

const std::string kUnits = "CO,Dist Units: Metres\nCO,Angle Units: Gons\n";

// A hang is a failure: the alarm ends the test process long before CI's own limit.
class Deadline {
public:
    explicit Deadline(unsigned seconds) { ::alarm(seconds); }
    ~Deadline() { ::alarm(0); }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;
};

std::string Repeat(const std::string& piece, std::size_t times) {
    std::string out;
    out.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        out += piece;
    return out;
}

// Lines as the driver must see them: up to the first byte 26, split at line feeds, a final line
// feed adding no line.
std::int64_t CountLines(const std::string& bytes) {
    const std::string kept = bytes.substr(0, bytes.find('\x1a'));
    std::int64_t lines = 0;
    for (char c : kept)
        lines += c == '\n' ? 1 : 0;
    if (!kept.empty() && kept.back() != '\n')
        ++lines;
    return lines;
}

TEST(HostileFiles, RandomBinaryEndsWithEveryLineSeen) {
    TempDir dir;
    for (unsigned seed : {1u, 2u, 3u}) {
        std::mt19937 random(seed);
        std::string bytes(1 << 20, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() & 0xFF);
        // Without a byte 26 early on, so that most of the file is read.
        for (char& c : bytes)
            if (c == '\x1a')
                c = '\n';
        bytes[bytes.size() / 2] = '\x1a';
        const ImportResult result = Import({dir.Write("random.bin", bytes)});
        EXPECT_EQ(result.violations, Calls{}) << "seed " << seed;
        EXPECT_EQ(result.lastLineOfImportPass + 1, CountLines(bytes)) << "seed " << seed;
    }
}

TEST(HostileFiles, SingleFiftyMegabyteLineIsOneRecord) {
    Deadline deadline(120);
    TempDir dir;
    const std::size_t size = 50u << 20;
    std::string bytes = "CO," + std::string(size - 40, ' ') + "x Dist Units: Feet";
    const std::string path = dir.Write("one-line.rdf", bytes);
    bytes.clear();
    bytes.shrink_to_fit();

    const ImportResult result = Import({path});
    EXPECT_EQ(result.violations, Calls{});
    EXPECT_EQ(result.lastLineOfImportPass, 0);
    EXPECT_EQ(result.counts.converters, 1u); // the distance converter the comment names
    EXPECT_EQ(result.counts.messages[1], 0u);

    if (kSanitized)
        GTEST_SKIP() << "memory sizes are not meaningful under the address sanitizer";
    // The line list holds 4 bytes a character and the bytes being decoded one more; the tokens
    // are views into the line and add nothing.
    const std::int64_t grown = PeakGrowth([&] { Import({path}); });
    ASSERT_GE(grown, 0);
    EXPECT_LE(grown, static_cast<std::int64_t>(6 * size)) << grown / double(size) << " bytes a byte";
}

// No record reads past its ninth field, so a line of ten million fields is split no further and
// costs no more than its text, and what it delivers is what its first fields deliver.
TEST(HostileFiles, TenMillionFieldsCostOnlyTheirText) {
    Deadline deadline(120);
    TempDir dir;
    std::string line = "SS,P";
    while (line.size() < 24)
        line += ",1";
    const ImportResult leading = Import({dir.Write("leading.rdf", kUnits + line + "\n")});
    for (std::size_t field = 0; field < 10'000'000; ++field)
        line += ",1";
    const std::string path = dir.Write("fields.rdf", kUnits + line + "\n");
    const std::size_t size = line.size();
    line.clear();
    line.shrink_to_fit();

    const ImportResult result = Import({path});
    EXPECT_EQ(result.violations, Calls{});
    EXPECT_EQ(RecordCalls(result.log), RecordCalls(leading.log));
    EXPECT_NE(RecordCalls(result.log), Calls{});

    if (kSanitized)
        GTEST_SKIP() << "memory sizes are not meaningful under the address sanitizer";
    const std::int64_t grown = PeakGrowth([&] { Import({path}); });
    ASSERT_GE(grown, 0);
    EXPECT_LE(grown, static_cast<std::int64_t>(6 * size)) << grown / double(size) << " bytes a byte";
}

// 671091 lines is the first count at which float(100 N) / float(N) rounds above 100.
class ManyEmptyLines : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ManyEmptyLines, EndWithProgressAtMostOneHundred) {
    TempDir dir;
    const std::size_t lines = GetParam();
    const std::string path = dir.Write("empty-lines.rdf", std::string(lines, '\n'));
    const ImportResult result = Import({path});
    EXPECT_EQ(result.violations, Calls{});
    EXPECT_EQ(result.lastLineOfImportPass + 1, static_cast<std::int64_t>(lines));
    EXPECT_EQ(RecordCalls(result.log), (Calls{"ReportMessage(102)"}));
    EXPECT_EQ(result.counts.progress, 2 * (lines + 1));
}

INSTANTIATE_TEST_SUITE_P(HostileFiles, ManyEmptyLines, ::testing::Values(671091u, 1000000u));

struct BytesCase {
    const char* name;
    std::string bytes;
    Calls records;
};

void PrintTo(const BytesCase& value, std::ostream* out) {
    *out << value.name;
}

class OddBytes : public ::testing::TestWithParam<BytesCase> {};

TEST_P(OddBytes, GiveTheRecordsBeforeThem) {
    TempDir dir;
    const ImportResult result = Import({dir.Write("odd.rdf", GetParam().bytes)});
    EXPECT_EQ(result.violations, Calls{});
    EXPECT_EQ(RecordCalls(result.log), GetParam().records);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    HostileFiles, OddBytes,
    ::testing::Values(BytesCase{"ZeroCutsTheLine", "ST,A\0B,,C\nST,D\n"s, {"AddStation(A)", "AddStation(D)"}},
                      BytesCase{"ZeroFirstEmptiesTheLine", "\0ST,A\n"s, {"ReportMessage(102)"}},
                      BytesCase{"ZeroInEveryLine", "S\0T,A\nST\0,B\nST,\0C\n"s, {}},
                      BytesCase{"ZeroBeforeTheLineFeed",
                                "F1,P\0\nST,Q\n"s,
                                {"AddPoint(P)", "ReportMessage(103)", "AddStation(Q)"}},
                      BytesCase{"EndOfInputMidLine", "ST,A\x1aST,B\nST,C\n"s, {"AddStation(A)"}},
                      BytesCase{"EndOfInputFirst", "\x1aST,A\n"s, {"ReportMessage(102)"}},
                      BytesCase{"EndOfInputAfterZero", "ST,A\0\x1a\nST,B\n"s, {"AddStation(A)"}},
                      BytesCase{"EndOfInputInsideCrLf", "ST,A\r\x1a\nST,B\n"s, {"AddStation(A)"}},
                      BytesCase{"CrOnlyLineEndsMakeOneLine", "ST,A\rST,B\rST,C\r"s, {"AddStation(A\rST)"}},
                      BytesCase{
                          "CrLfAndCrMixed", "ST,A\r\r\nST,B\r\n\r\n"s, {"AddStation(A)", "AddStation(B)"}}),
    [](const ::testing::TestParamInfo<BytesCase>& info) { return info.param.name; });

TEST(HostileFiles, CrOnlyJobIsOneHeaderLine) {
    TempDir dir;
    const std::string job = "CO,Dist Units: Metres\rCO,Angle Units: Gons\rST,A,,B,,1.5,,0\rF1,B,1,2,3,4\r";
    const ImportResult result = Import({dir.Write("cr.rdf", job)});
    EXPECT_EQ(result.violations, Calls{});
    EXPECT_EQ(result.lastLineOfImportPass, 0);
    EXPECT_EQ(RecordCalls(result.log), Calls{});
    // "Dist Units:" and "Metres" share the first comment token; the angle key is in token 2.
    EXPECT_EQ(result.counts.converters, 1u);
}

struct EncodingCase {
    const char* name;
    const char* locale;
    std::string bytes;
    std::string expected; // the point name as UTF-8
};

void PrintTo(const EncodingCase& value, std::ostream* out) {
    *out << value.name;
}

class InvalidSequences : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(InvalidSequences, BecomeReplacementCharacters) {
    const EncodingCase& param = GetParam();
    const testsupport::ScopedThreadLocale thread(param.locale, LC_ALL_MASK);
    if (!thread.Active())
        GTEST_SKIP() << param.locale << " is not installed (scripts/install-deps.sh makes it)";
    TempDir dir;
    const ImportResult result = Import({dir.Write("enc.rdf", "MC," + param.bytes + ",,1,2,3\n")});
    EXPECT_EQ(result.violations, Calls{});
    EXPECT_EQ(RecordCalls(result.log), (Calls{"AddPoint(" + param.expected + ")", "ReportMessage(103)"}));
}

INSTANTIATE_TEST_SUITE_P(
    HostileFiles, InvalidSequences,
    ::testing::Values(
        EncodingCase{"Utf8Valid", "ru_RU.utf8", "\xd0\x9a\xd0\xbe\xd0\xb4", "\xd0\x9a\xd0\xbe\xd0\xb4"},
        EncodingCase{"Utf8BadContinuation", "ru_RU.utf8", "\xc3\x28", "\xef\xbf\xbd("},
        EncodingCase{"Utf8LoneContinuation", "ru_RU.utf8", "A\x80Z", "A\xef\xbf\xbdZ"},
        EncodingCase{"Utf8CutShort", "ru_RU.utf8", "\xe2\x82", "\xef\xbf\xbd\xef\xbf\xbd"},
        EncodingCase{"Utf8Overlong", "ru_RU.utf8", "\xc0\xaf", "\xef\xbf\xbd\xef\xbf\xbd"},
        EncodingCase{"Utf8Surrogate", "ru_RU.utf8", "\xed\xa0\x80", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
        EncodingCase{"Utf8BeyondUnicode", "ru_RU.utf8", "\xf5\x80\x80\x80", Repeat("\xef\xbf\xbd", 4)},
        EncodingCase{"Cp1251Letters", "ru_RU.cp1251", "\xca\xee\xe4", "\xd0\x9a\xd0\xbe\xd0\xb4"},
        EncodingCase{"Cp1251Unassigned", "ru_RU.cp1251", "A\x98Z", "A\xef\xbf\xbdZ"},
        EncodingCase{"AsciiHighBytes", "C", "\xff\xfe", "\xef\xbf\xbd\xef\xbf\xbd"}),
    [](const ::testing::TestParamInfo<EncodingCase>& info) { return info.param.name; });

struct NumberCase {
    const char* name;
    std::string text;
};

void PrintTo(const NumberCase& value, std::ostream* out) {
    *out << value.name;
}

class ExtremeNumbers : public ::testing::TestWithParam<std::tuple<NumberCase, const char*>> {};

// Every numeric field of every record holds the text; nothing may hang (the flush reduces
// infinite and huge angles) and no record may be lost.
TEST_P(ExtremeNumbers, InEveryFieldKeepEveryRecord) {
    Deadline deadline(60);
    const std::string& n = std::get<0>(GetParam()).text;
    const std::string angleUnits = std::get<1>(GetParam());
    const std::string job =
        "CO,Dist Units: Metres\nCO,Angle Units: " + angleUnits + "\nCO,Temp: " + n + " Press: " + n +
        " hPa\n" + "ST,S,," + "B,," + n + ",," + n + "\n" + "F1,B," + n + "," + n + "," + n + "," + n + "\n" +
        "F2,B," + n + "," + n + "," + n + "," + n + "\n" + "SS,T," + n + "," + n + "," + n + "," + n +
        ",,C\n" + "SO,U,x," + n + "," + n + "," + n + "," + n + ",,C\n" + "MC,M,," + n + "," + n + "," + n +
        ",C\n" + "ST,V,," + "B,," + n + ",," + n + "\n" + "F1,B," + n + "," + n + "," + n + "," + n + "\n";
    TempDir dir;
    const ImportResult result = Import({dir.Write("numbers.rdf", job)});
    EXPECT_EQ(result.violations, Calls{});
    EXPECT_EQ(result.counts.stations, 2u);
    EXPECT_EQ(result.counts.observations, 5u); // F1, F2, SS, SO, and the last F1 at the end
    EXPECT_EQ(result.counts.points, 4u);       // three pre-scan targets and MC
    EXPECT_EQ(result.counts.messages[2] + result.counts.messages[3], 0u);
}

INSTANTIATE_TEST_SUITE_P(
    HostileFiles, ExtremeNumbers,
    ::testing::Combine(::testing::Values(NumberCase{"ThousandsOfDigits", std::string(5000, '7')},
                                         NumberCase{"ThousandsOfDecimals", "1." + std::string(5000, '3')},
                                         NumberCase{"HugeExponent", "1e999999"},
                                         NumberCase{"TinyExponent", "-1e-999999"},
                                         NumberCase{"LargestFinite", "1.7976931348623157e308"},
                                         NumberCase{"LargeAngle", "-1e300"}, NumberCase{"Infinity", "inf"},
                                         NumberCase{"MinusInfinity", "-INF"}, NumberCase{"NotANumber", "nan"},
                                         NumberCase{"NotANumberText", "NaN(77)"},
                                         NumberCase{"Hex", "0x1p1023"}),
                       ::testing::Values("Gons", "DDDMMSS", "MIL6400")),
    [](const ::testing::TestParamInfo<std::tuple<NumberCase, const char*>>& info) {
        return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param);
    });

TEST(HostileFiles, MegabyteCommentsStillSetTheirUnits) {
    Deadline deadline(60);
    const std::size_t mega = 4u << 20;
    const std::string job = "CO," + std::string(mega, 'x') + " Dist Units: Feet\n" + "CO," +
                            Repeat("Angle Units: ", mega / 13) + "Gon\n" + "CO," +
                            Repeat("Dist Units:", mega / 11) + "\n" + "CO,Temp: " + std::string(mega, '5') +
                            " F\n" + "CO,Press:" + Repeat("+-", mega / 2) + "\n" + "ST,S\n";
    TempDir dir;
    const ImportResult result = Import({dir.Write("comments.rdf", job)});
    EXPECT_EQ(result.violations, Calls{});
    // Feet, gons, then a temperature converter of each code (the second kept for the F); the
    // pressure run converts with code 0 but reads no number.
    EXPECT_EQ(result.counts.converters, 5u);
    EXPECT_EQ(RecordCalls(result.log), (Calls{"AddStation(S)", "SetTemperature(inf)"}));
}

const char* const kCodes[] = {"CO", "ST", "F1", "F2", "SS", "SO", "MC", "MP", "RE", "UP"};

TEST(HostileFiles, EveryCodeWithEveryTokenCount) {
    TempDir dir;
    for (const char* code : kCodes) {
        for (std::size_t tokens = 1; tokens <= 12; ++tokens) {
            std::string line = code;
            for (std::size_t i = 1; i < tokens; ++i)
                line += "," + std::to_string(i) + ".2345";
            for (const bool units : {false, true}) {
                const ImportResult result =
                    Import({dir.Write("codes.rdf", (units ? kUnits : "") + line + "\n")});
                const std::string what = line + (units ? " with units" : "");
                EXPECT_EQ(result.violations, Calls{}) << what;
                const bool ignored = std::string(code) == "SS" && tokens < 3 && !units;
                EXPECT_EQ(result.counts.messages[1], ignored ? 1u : 0u) << what;
            }
        }
    }
}

const Calls kRefused(const std::string& path) {
    return {"BeginFile(" + path + ")", "ReportMessage(101)"};
}

TEST(HostileFiles, DirectoryIsRefused) {
    TempDir dir;
    const ImportResult result = Import({dir.Path()});
    EXPECT_EQ(result.violations, Calls{});
    EXPECT_EQ(result.log, kRefused(dir.Path().string()));
}

TEST(HostileFiles, FifoWithoutWriterIsRefusedAtOnce) {
    Deadline deadline(20);
    TempDir dir;
    const std::string fifo = dir.Path() / "pipe.rdf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const ImportResult result = Import({fifo});
    EXPECT_EQ(result.violations, Calls{});
    EXPECT_EQ(result.log, kRefused(fifo));
}

TEST(HostileFiles, FifoWithEndlessWriterIsNeverRead) {
    Deadline deadline(20);
    TempDir dir;
    const std::string fifo = dir.Path() / "pipe.rdf";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A writer that would feed records for ever once the pipe is open for reading.
    const int writeEnd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writeEnd, 0);
    const std::string record = "ST,A\n";
    ASSERT_EQ(::write(writeEnd, record.data(), record.size()), static_cast<ssize_t>(record.size()));
    const ImportResult result = Import({fifo});
    ::close(writeEnd);
    EXPECT_EQ(result.violations, Calls{});
    EXPECT_EQ(result.log, kRefused(fifo));
}

// A sparse file far larger than memory whose input ends at once (byte 26): the line list cannot
// be sized from the file, so it grows as it fills, and the import delivers the one record.
TEST(HostileFiles, HugeFileThatEndsEarlyIsStillRead) {
    if (kSanitized)
        GTEST_SKIP() << "the sanitizer's allocator reports a refused allocation as an error";
    Deadline deadline(20);
    TempDir dir;
    const std::string path = dir.Write("huge.rdf", std::string("ST,A\n\x1a", 6));
    if (::truncate(path.c_str(), off_t{1} << 40) != 0) // a terabyte of holes
        GTEST_SKIP() << "this file system keeps no terabyte-sized sparse file";
    const ImportResult result = Import({path});
    EXPECT_EQ(result.violations, Calls{});
    EXPECT_EQ(RecordCalls(result.log), (Calls{"AddStation(A)"}));
}

TEST(HostileFiles, DevicesAreRefused) {
    Deadline deadline(20);
    for (const std::string device : {"/dev/zero", "/dev/null", "/dev/urandom"}) {
        const ImportResult result = Import({device});
        EXPECT_EQ(result.violations, Calls{}) << device;
        EXPECT_EQ(result.log, kRefused(device)) << device;
    }
}

TEST(HostileFiles, FileRemovedBeforeTheOpenIsRefusedAndTheNextImported) {
    TempDir dir;
    const std::string gone = dir.Write("gone.rdf", kUnits + "ST,A\n");
    const std::string kept = dir.Write("kept.rdf", "ST,B\n");
    const ImportResult result = Import({gone, kept}, Logged(), [&](const std::wstring& path) {
        if (path == testsupport::FromUtf8(gone))
            ::unlink(gone.c_str());
    });
    EXPECT_EQ(result.violations, Calls{});
    EXPECT_EQ(RecordCalls(result.log), (Calls{"ReportMessage(101)", "AddStation(B)"}));
}

TEST(HostileFiles, NonAsciiPathIsOpened) {
    TempDir dir;
    const std::string path = dir.Write(
        "\xd0\xa1\xd1\x8a\xc3\xab\xd0\xbc\xd0\xba\xd0\xb0 \xe6\x9d\xb1 \xf0\x9f\x93\x90.rdf", "ST,A\n");
    const ImportResult result = Import({path});
    EXPECT_EQ(result.violations, Calls{});
    EXPECT_EQ(result.log.front(), "BeginFile(" + path + ")");
    EXPECT_EQ(RecordCalls(result.log), (Calls{"AddStation(A)"}));
}

// A logger that keeps appending short lines faster than an import can read them: the import
// takes the file as it was when opened, and ends while the writer is still at work.
TEST(HostileFiles, FileAppendedWhileImportedEnds) {
    Deadline deadline(120);
    TempDir dir;
    const std::string line = "ST,A\n";
    const std::size_t initialLines = 20000;
    const std::string path = dir.Write("growing.rdf", Repeat(line, initialLines));
    int progress[2];
    ASSERT_EQ(::pipe(progress), 0);
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        // About 40 MB/s for 3 s: tells "started" after the first chunk and "stopped" at the end,
        // then waits to be ended.
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
        const std::string chunk = Repeat(line, 13000);
        const auto stop = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        bool told = false;
        while (fd >= 0 && std::chrono::steady_clock::now() < stop) {
            if (::write(fd, chunk.data(), chunk.size()) <= 0)
                break;
            if (!told)
                told = ::write(progress[1], "s", 1) == 1;
            std::this_thread::sleep_for(std::chrono::microseconds(1600));
        }
        if (::write(progress[1], "e", 1) == 1)
            ::pause();
        ::_exit(0);
    }
    ::close(progress[1]);
    char started = 0;
    ASSERT_EQ(::read(progress[0], &started, 1), 1);

    const ImportResult result = Import({path}, checking::HostOptions{});
    ::fcntl(progress[0], F_SETFL, O_NONBLOCK);
    char stopped = 0;
    const bool writerHadStopped = ::read(progress[0], &stopped, 1) == 1;
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    ::close(progress[0]);

    EXPECT_FALSE(writerHadStopped) << "the import only ended after the writer stopped appending";
    EXPECT_EQ(result.violations, Calls{});
    EXPECT_GE(result.lastLineOfImportPass + 1, static_cast<std::int64_t>(initialLines));
}

// The checking host itself must catch what it claims to catch, or every test above proves nothing.
struct BrokenRule {
    enum class Start { Nothing, ImportPass };
    const char* name;
    const char* caught; // a part of the violation's text
    Start start;
    void (*calls)(checking::CheckingSink&);
};
using Start = BrokenRule::Start;

void PrintTo(const BrokenRule& value, std::ostream* out) {
    *out << value.name;
}

void StartImportPass(checking::CheckingSink& sink) {
    sink.BeginFile(L"f");
    sink.GetConverterFactory()->Release();
    sink.SetProgress(100.0f);
    sink.GetConverterFactory()->Release();
    sink.SetCurrentLine(0);
}

class CheckingHostCatches : public ::testing::TestWithParam<BrokenRule> {};

TEST_P(CheckingHostCatches, TheBrokenRule) {
    checking::CheckingSink sink({});
    if (GetParam().start == Start::ImportPass)
        StartImportPass(sink);
    GetParam().calls(sink);
    sink.EndImport();
    bool found = false;
    for (const std::string& violation : sink.Violations())
        found = found || violation.find(GetParam().caught) != std::string::npos;
    EXPECT_TRUE(found) << "no violation mentions \"" << GetParam().caught << "\"";
}

// Each rule broken after the calls that start the import pass, or from the first call.
const BrokenRule kBrokenRules[] = {
    {"ValueWithoutItem", "without a current item", Start::ImportPass,
     [](checking::CheckingSink& s) { s.SetNorthing(1.0); }},
    {"ValueOfAnotherKind", "without a current item", Start::ImportPass,
     [](checking::CheckingSink& s) {
         s.AddStation(L"S");
         s.SetSlopeDistance(1.0);
     }},
    {"ValueTwice", "twice", Start::ImportPass,
     [](checking::CheckingSink& s) {
         s.AddPoint(L"P");
         s.SetElevation(1.0);
         s.SetElevation(2.0);
     }},
    {"ValueAfterFaceRight", "after SetFaceRight", Start::ImportPass,
     [](checking::CheckingSink& s) {
         s.AddObservation(L"O");
         s.SetFaceRight(true);
         s.SetVerticalAngle(1.0);
     }},
    {"ProgressAboveHundred", "out of (0, 100]", Start::ImportPass,
     [](checking::CheckingSink& s) { s.SetProgress(100.00001f); }},
    {"ProgressBack", "went back", Start::ImportPass,
     [](checking::CheckingSink& s) {
         s.SetProgress(60.0f);
         s.SetCurrentLine(1);
         s.SetProgress(50.0f);
     }},
    {"LineSkipped", "was next", Start::ImportPass,
     [](checking::CheckingSink& s) {
         s.SetProgress(50.0f);
         s.SetCurrentLine(2);
     }},
    {"UnknownMessage", "no message", Start::ImportPass,
     [](checking::CheckingSink& s) { s.ReportMessage(L"Ошибка"); }},
    {"StationInPreScan", "pre-scan", Start::Nothing,
     [](checking::CheckingSink& s) {
         s.BeginFile(L"f");
         s.GetConverterFactory()->Release();
         s.AddStation(L"S");
     }},
    {"FactoryNotReleased", "still holds", Start::Nothing,
     [](checking::CheckingSink& s) {
         s.BeginFile(L"f");
         s.GetConverterFactory();
     }},
    {"ConverterReleasedTwice", "released once more", Start::ImportPass,
     [](checking::CheckingSink& s) {
         IUnitConverterFactory* factory = s.GetConverterFactory();
         IDistanceConverter* converter = factory->CreateDistanceConverter(0);
         converter->Release();
         converter->Release();
         factory->Release();
     }},
    {"ConvertAfterRelease", "Convert after its last Release", Start::Nothing,
     [](checking::CheckingSink& s) {
         s.BeginFile(L"f");
         IUnitConverterFactory* factory = s.GetConverterFactory();
         Plugin::IAngleConverter* converter = factory->CreateAngleConverter(4);
         converter->Release();
         double value = 0.0;
         converter->Convert(L"1", &value);
         factory->Release();
     }},
    {"NoUnknownFormatMessage", "without message 102", Start::ImportPass,
     [](checking::CheckingSink& s) {
         s.SetProgress(100.0f);
         s.SetProgress(100.0f);
         s.SetCurrentLine(-1);
     }},
    {"OnlyOnePass", "1 pass", Start::Nothing,
     [](checking::CheckingSink& s) {
         s.BeginFile(L"f");
         s.GetConverterFactory()->Release();
         s.SetProgress(100.0f);
     }},
};

INSTANTIATE_TEST_SUITE_P(HostileFiles, CheckingHostCatches, ::testing::ValuesIn(kBrokenRules),
                         [](const ::testing::TestParamInfo<BrokenRule>& info) { return info.param.name; });

} // namespace
} // namespace hostile
