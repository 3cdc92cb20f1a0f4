// rdf-import run as a careless or malicious user would: outputs onto inputs, devices, links and
// read-only files, a full disk, an interruption, values no survey has. Each case is the smallest
// command that once lost a file, crashed or reported a failure as success.
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int status = 0; // the exit status, or 128 + the signal that ended the run
    std::string out;
    std::string err;
};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs the tool in `folder`, the arguments as a shell gives them; runs at once need their own tags.
ToolRun RunTool(const fs::path& folder, const std::string& arguments, const std::string& tag = "") {
    const std::string out = (folder / (".out" + tag)).string();
    const std::string err = (folder / (".err" + tag)).string();
    const std::string command =
        "cd '" + folder.string() + "' && " + RDF_IMPORT + " --quiet " + arguments + " >" + out + " 2>" + err;
    const int status = std::system(command.c_str());
    ToolRun run{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), Slurp(out), Slurp(err)};
    fs::remove(out);
    fs::remove(err);
    return run;
}

// A job of one station: its control points, a backsight and `shots` side shots, the first with a
// horizontal reading of `firstReading` (degrees, minutes and seconds as the instrument writes them).
std::string Job(int shots, const std::string& firstReading = "60.1245", const std::string& firstName = "P0") {
    std::string job = "CO,Nikon RAW data format V2.00\nCO,Dist Units: Metres\nCO,Angle Units: DDDMMSS\n"
                      "CO,Zero azimuth: North\nCO,HA Raw data: Azimuth\n"
                      "MP,T1,,5000.0000,1000.0000,100.0000,CTRL\nMP,T2,,5120.4560,1063.2170,101.2350,CTRL\n"
                      "ST,T1,,T2,,1.5450,27.4412,27.4412\nF1,T2,1.6000,135.8420,27.4412,89.4821,07:45:12\n";
    for (int i = 0; i < shots; ++i) {
        job += "SS," + (i == 0 ? firstName : "P" + std::to_string(i)) + ",1.8000," +
               std::to_string(20 + i % 50) + ".1000," +
               (i == 0 ? firstReading : std::to_string(i % 360) + ".1245") + ",91.0230,07:50:11,FENCE\n";
    }
    return job;
}

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
    return text.replace(text.find(what), what.size(), with);
}

std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// No output replaces an input or a file that is not the user's to replace; each is refused before
// anything is read, and the file is left as it was.
TEST(HostileRuns, OutputsNeverReplaceInputsDevicesLinksOrReadOnlyFiles) {
    const struct {
        const char* arguments;
        const char* kept; // the file that must come through unchanged
        const char* error;
    } cases[] = {
        {"-o j.rdf j.rdf", "j.rdf", "cannot write j.rdf: it is the input j.rdf"},
        {"--to j.xml j.xml", "j.xml", "it is the input j.xml"},
        {"--to j.html j.html", "j.html", "it is the input j.html"},
        {"--to j.csv j.csv", "j.csv", "it is the input j.csv"},
        {"--crs EPSG:32633 --to j.json j.json", "j.json", "it is the input j.json"},
        {"--to a.csv a_stations.csv", "a_stations.csv", "it is the input a_stations.csv"},
        {"--to b.shp b_observations.dbf", "b_observations.dbf", "it is the input b_observations.dbf"},
        {"-o kp.csv --known-points kp.csv j.rdf", "kp.csv", "it is the input kp.csv"},
        {"-o hard.txt j.rdf", "hard.txt", "it is the input j.rdf"}, // a hard link to the input
        {"--to link.html j.rdf", "j.rdf", "link.html is a symbolic link"},
        {"--to ro.html j.rdf", "ro.html", "ro.html is read-only"},
        {"--to pipe.html j.rdf", "j.rdf", "pipe.html is not a regular file"},
        {"-o pipe.html j.rdf", "j.rdf", "pipe.html is not a regular file"},
        {"-o x.json --crs EPSG:32633 --to ./x.json j.rdf", "j.rdf", "x.json would be written twice"},
    };
    const testsupport::TempDir folder;
    const std::string job = Job(3);
    for (const char* input :
         {"j.rdf", "j.xml", "j.html", "j.csv", "j.json", "a_stations.csv", "b_observations.dbf"})
        folder.Write(input, job);
    folder.Write("kp.csv", "name,northing,easting\nT9,1,2\n");
    folder.Write("ro.html", "kept");
    fs::permissions(folder.Path() / "ro.html", fs::perms::owner_read);
    fs::create_symlink("j.rdf", folder.Path() / "link.html");
    fs::create_hard_link(folder.Path() / "j.rdf", folder.Path() / "hard.txt");
    // A pipe of the test's own stands for a device: a tool that wrongly replaced it or wrote into
    // it would harm nothing outside the folder, and the open reading end keeps a writer from
    // waiting.
    const fs::path pipe = folder.Path() / "pipe.html";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
    const std::vector<std::string> before = Entries(folder.Path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const std::string kept = Slurp(folder.Path() / c.kept);
        const ToolRun run = RunTool(folder.Path(), c.arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
        EXPECT_EQ(Slurp(folder.Path() / c.kept), kept);
        EXPECT_EQ(Entries(folder.Path()), before);
        EXPECT_TRUE(fs::is_fifo(pipe));
    }
    ::close(reader);
}

// Standard output on a full device: every format's failure is the run's.
TEST(HostileRuns, AFullStandardOutputFailsTheRun) {
    const testsupport::TempDir folder;
    folder.Write("j.rdf", Job(3));
    for (const char* format : {"text", "json", "csv", "points", "trace"}) {
        SCOPED_TRACE(format);
        const std::string command = "cd '" + folder.Path().string() + "' && " + RDF_IMPORT +
                                    " --quiet --format " + format + " j.rdf >/dev/full 2>/dev/null";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    }
}

// A small file system of its own, filled by the first few kilobytes: mounting needs root, as CI has.
class FullDisk {
public:
    explicit FullDisk(const fs::path& at) : at_(at) {
        fs::create_directory(at_);
        mounted_ = ::mount("tmpfs", at_.c_str(), "tmpfs", 0, "size=12k") == 0;
    }
    ~FullDisk() {
        if (mounted_)
            ::umount(at_.c_str());
    }
    bool Mounted() const { return mounted_; }

private:
    fs::path at_;
    bool mounted_ = false;
};

// Every format, on a disk too small for it: exit status 1 naming the file, the old file kept and
// nothing else left behind.
TEST(HostileRuns, AFullDiskFailsTheRunAndKeepsTheOldFile) {
    const testsupport::TempDir folder;
    folder.Write("big.rdf", Job(400));
    const FullDisk disk(folder.Path() / "disk");
    if (!disk.Mounted())
        GTEST_SKIP() << "mounting a file system needs root";
    for (const char* target : {"o.kml", "o.csv", "o.geojson", "o.html", "o.xml", "o.shp", "o.gpkg", "o.dxf",
                               "o.fgb", "-o disk/o.txt"}) {
        SCOPED_TRACE(target);
        const bool listing = target[0] == '-';
        const std::string name = listing ? "o.txt" : target;
        std::ofstream(folder.Path() / "disk" / name) << "old";
        const ToolRun run = RunTool(
            folder.Path(), std::string(listing ? target : "--crs EPSG:32633 --to disk/" + name) + " big.rdf");
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("cannot write disk/" + name), std::string::npos) << run.err;
        EXPECT_EQ(Slurp(folder.Path() / "disk" / name), "old");
        EXPECT_EQ(Entries(folder.Path() / "disk"), std::vector<std::string>{name});
        fs::remove(folder.Path() / "disk" / name);
    }
}

// An interrupted run leaves none of its staging folders: a long job is imported while its -o file
// is staged, and the run is ended by each signal in turn.
TEST(HostileRuns, AnInterruptedRunLeavesNoStagingFolder) {
    const testsupport::TempDir folder;
    folder.Write("long.rdf", Job(200000));
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        const pid_t child = fork();
        if (child == 0) {
            if (::chdir(folder.Path().c_str()) == 0)
                ::execl(RDF_IMPORT, RDF_IMPORT, "--quiet", "-o", "out.txt", "long.rdf",
                        static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (Entries(folder.Path()).size() < 2 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_EQ(Entries(folder.Path()).size(), 2u) << "the run never staged its output";
        ::kill(child, signal);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"long.rdf"});
    }
}

// The record counts of a Shapefile's three files, which agree when they come from one run.
std::vector<std::uint32_t> ShapefileCounts(fs::path shp) {
    constexpr std::uintmax_t kShxHeader = 100, kShxRecord = 8;
    const std::uintmax_t indexed = (fs::file_size(shp.replace_extension(".shx")) - kShxHeader) / kShxRecord;
    const std::string dbf = Slurp(shp.replace_extension(".dbf"));
    const auto byte = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(dbf.at(i)));
    };
    const std::uint32_t records = byte(4) | byte(5) << 8 | byte(6) << 16 | byte(7) << 24;
    return {static_cast<std::uint32_t>(indexed), records};
}

// Two runs writing one Shapefile at once: whichever ends last, its .shp, .shx and .dbf belong
// together.
TEST(HostileRuns, ConcurrentRunsNeverMixTheFilesOfAShapefile) {
    const testsupport::TempDir folder;
    folder.Write("few.rdf", Job(2));
    folder.Write("many.rdf", Job(300));
    for (int round = 0; round < 10; ++round) {
        std::thread other(
            [&] { EXPECT_EQ(RunTool(folder.Path(), "--to s.shp many.rdf", "many").status, 0); });
        EXPECT_EQ(RunTool(folder.Path(), "--to s.shp few.rdf", "few").status, 0);
        other.join();
        for (const char* layer : {"s.shp", "s_stations.shp", "s_observations.shp"}) {
            const std::vector<std::uint32_t> counts = ShapefileCounts(folder.Path() / layer);
            ASSERT_EQ(counts[0], counts[1]) << layer << " in round " << round;
        }
    }
}

// Values no survey has, and files that are no list of points, are refused where they enter;
// what editors save is read.
TEST(HostileRuns, ControlPointsAreCheckedWhereTheyEnter) {
    const struct {
        const char* arguments;
        int status;
        const char* shown; // in standard output, or the error in standard error
    } cases[] = {
        {"--known T1=nan,nan,nan j.rdf", 2, "--known: the northing and easting of T1 are not both numbers"},
        {"--known T1=1,2,1e300 j.rdf", 2, "--known: the elevation of T1 must be finite"},
        {"--known-points nan.csv j.rdf", 2, "line 2: the northing and easting of T1 are not both numbers"},
        {"--known Q4=+41,4.2e1 --refraction +1.3e-1 --format points j.rdf", 0, "Q4,41.0000,42.0000"},
        {"--refraction 0x1 j.rdf", 2, "--refraction: '0x1' is not a number"},
        {"--known-points sub j.rdf", 2, "--known-points sub: is a folder"},
        {"--known-points /dev/zero j.rdf", 2, "longer than 67108864 bytes"},
        {"--known-points nul.csv j.rdf", 2, "line 2: a point's name holds a control character"},
        {"--known-points bom.csv --format points j.rdf", 0, "Q1,11.0000,12.0000"},
        {"--known-points cr.csv --format points j.rdf", 0, "Q2,21.0000,22.0000"},
        {"--known Q3=31,32 --units ft j.rdf --to r.html", 0, "Q3"}, // the file after the point is a raw file
    };
    const testsupport::TempDir folder;
    folder.Write("j.rdf", Job(2));
    folder.Write("nan.csv", "name,northing,easting\nT1,nan,1\n");
    folder.Write("nul.csv", std::string("name,northing,easting\nT\0X,1,2\n", 30));
    folder.Write("bom.csv", "\xEF\xBB\xBFname,northing,easting\nQ1,11,12\n");
    folder.Write("cr.csv", "name,northing,easting\rQ2,21,22\r");
    fs::create_directory(folder.Path() / "sub");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ToolRun run = RunTool(folder.Path(), c.arguments);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE((c.status == 0 ? run.out : run.err).find(c.shown), std::string::npos) << run.out << run.err;
    }
    const std::string report = Slurp(folder.Path() / "r.html");
    EXPECT_NE(report.find("Q3"), std::string::npos);
    EXPECT_NE(report.find("<th>Lengths in this report</th><td>international feet</td>"), std::string::npos);
}

// A reference system is a code or a definition: never a file read or a URL fetched. One no
// writer can take is refused before the import, so no output is written.
TEST(HostileRuns, ReferenceSystemsAreCheckedBeforeAnythingIsWritten) {
    const struct {
        const char* crs;
        const char* error;
    } cases[] = {
        {"system.wkt", "due to ALLOW_FILE_ACCESS=NO"},
        {"/etc/passwd", "due to ALLOW_FILE_ACCESS=NO"},
        {"http://127.0.0.1:9/crs", "due to ALLOW_NETWORK_ACCESS=NO"},
        {"EPSG:5703", "a vertical reference system holds heights only"},
        {"'+proj=utm +zone=33 +units=km'", "LandXML has no unit for the linear unit"},
    };
    const testsupport::TempDir folder;
    folder.Write("j.rdf", Job(2));
    folder.Write("system.wkt", "PROJCS[\"local\"]");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.crs);
        const ToolRun run =
            RunTool(folder.Path(), std::string("--crs ") + c.crs + " --to r.html --to r.xml j.rdf");
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c.error), std::string::npos) << run.err;
        EXPECT_EQ(Entries(folder.Path()), (std::vector<std::string>{"j.rdf", "system.wkt"}));
    }
}

// What a terminal on standard output and error receives from a run whose names carry escape
// sequences: the run's terminal is a pseudo-terminal read here to its end.
std::string OnATerminal(const fs::path& folder, const std::vector<std::string>& arguments) {
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        std::vector<char*> argv = {const_cast<char*>(RDF_IMPORT), const_cast<char*>("--quiet")};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        if (::chdir(folder.c_str()) == 0)
            ::execv(RDF_IMPORT, argv.data());
        ::_exit(127);
    }
    std::string shown;
    char buffer[4096];
    for (ssize_t got; (got = ::read(terminal, buffer, sizeof buffer)) > 0;)
        shown.append(buffer, static_cast<std::size_t>(got));
    ::close(terminal);
    ::waitpid(child, nullptr, 0);
    return shown;
}

TEST(HostileRuns, EscapeSequencesInNamesNeverReachTheTerminal) {
    const testsupport::TempDir folder;
    folder.Write("esc.rdf", Job(2, "60.1245", "P\x1b]0;title\x07\x1b[2J"));
    const std::vector<std::string> cases[] = {{"esc.rdf"},
                                              {"--format", "csv", "--observations", "esc.rdf"},
                                              {"no\x1b[2J.rdf"},
                                              {"--bad\x1b[2J", "esc.rdf"}};
    for (const std::vector<std::string>& arguments : cases) {
        SCOPED_TRACE(arguments.front());
        const std::string shown = OnATerminal(folder.Path(), arguments);
        EXPECT_NE(shown.find("\xEF\xBF\xBD"), std::string::npos) << shown;
        EXPECT_EQ(shown.find('\x1b'), std::string::npos) << shown;
    }
}

// Angles beyond what a listing's fields were made for are shown, not crashed on; positions beyond
// any survey are reported by the reduction where they enter.
TEST(HostileRuns, ValuesBeyondAnySurveyAreShownOrReported) {
    const std::string farRecord =
        "CO,Dist Units: Metres\nMP,T1,,1" + std::string(79, '0') + ".0,5000.0,100.0,CTRL\n";
    const struct {
        std::string job;
        const char* arguments;
        const char* shown;
    } cases[] = {
        {Job(2, "260000000000000.0000"), "", "260000000000000\u00b0"},
        {Job(2, "260000000000000.0000"), "--format csv --angles dms --observations", "260000000000000\u00b0"},
        {Job(2, "260000000000000.0000"), "--format json", "\"P0\""},
        {Job(2, "260000000000000.0000"), "--to r.html", "P0"},
        {farRecord, "", "T1's coordinates are not finite or lie beyond any survey"},
        {Replaced(Job(2, "60.1245", "FAR"), ",20.1000,", ",1" + std::string(30, '0') + ".1,"), "",
         "FAR from T1: the observation puts it where no survey reaches"},
    };
    const testsupport::TempDir folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        folder.Write("j.rdf", c.job);
        const ToolRun run = RunTool(folder.Path(), std::string(c.arguments) + " j.rdf");
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(c.shown), std::string::npos) << run.out;
    }
}

} // namespace
