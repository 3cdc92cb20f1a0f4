#include "bench/JobGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace bench {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSecond = kPi / 180 / 3600;
constexpr int kStationsPerJob = 300;

// What one kind of job holds at each set-up.
struct Shape {
    double legNearest;
    double legFarthest;
    double legBend;  // radians either way
    bool checkPoint; // a third control point seen from the second set-up
    int marksMost;   // reference marks per set-up
    int shotsLeast;
    int shotsMost;
    double shotFarthest;
    bool stakeOutAndCoordinates;
};

Shape ShapeOf(const JobOptions& options) {
    if (options.kind == JobKind::Mixed)
        return {150, 400, 0.9, true, 2, 15, 40, 300, true};
    return {145, 155, 0.6, false, 0, options.sideShots, options.sideShots, 150, false};
}

// The instrument: small constant errors of its circles and the spread of one pointing and one
// distance, all far inside what a reduction accepts between the two faces.
constexpr double kCollimation = 5 * kSecond;
constexpr double kIndex = -3 * kSecond;
constexpr double kPointing = 2 * kSecond;
constexpr double kDistanceSpread = 0.001;

class JobWriter {
public:
    JobWriter(const std::string& path, bool crlf, std::uint32_t seed)
        : file(std::fopen(path.c_str(), "wb")), end(crlf ? "\r\n" : "\n"), random(seed) {
        if (file == nullptr)
            throw std::runtime_error("cannot write " + path);
    }
    ~JobWriter() { std::fclose(file); }
    JobWriter(const JobWriter&) = delete;
    JobWriter& operator=(const JobWriter&) = delete;

    std::uint64_t Written() const { return written; }
    std::uint64_t Lines() const { return lines; }

    void Line(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        char text[512];
        va_list args;
        va_start(args, format);
        const int length = std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        std::fputs(text, file);
        std::fputs(end, file);
        written += static_cast<std::uint64_t>(length) + std::char_traits<char>::length(end);
        ++lines;
    }

    double Uniform(double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    }
    int Count(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
    // A normal error cut at three spreads, so that no reading is ever a blunder.
    double Error(double spread) {
        return std::clamp(std::normal_distribution<double>(0, spread)(random), -3 * spread, 3 * spread);
    }
    // A value as printed to `step`, so that readings follow from what the file says.
    double Printed(double low, double high, double step) {
        return std::round(Uniform(low, high) / step) * step;
    }

    // The time of the next record: the clock moves on a few seconds a shot, round the day.
    std::string Clock() {
        seconds = (seconds + Count(5, 30)) % (24 * 3600);
        char text[16];
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
        return text;
    }

private:
    std::FILE* file;
    const char* end;
    std::mt19937 random;
    std::uint64_t written = 0;
    std::uint64_t lines = 0;
    int seconds = 7 * 3600;
};

// DDD.MMSS rounded to the whole second, in [0, 360), as the instruments print circle readings.
std::string Dms(double radians) {
    constexpr long long kCircle = 360LL * 3600;
    const long long seconds = ((std::llround(radians / kSecond) % kCircle) + kCircle) % kCircle;
    char text[24];
    std::snprintf(text, sizeof text, "%lld.%02lld%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

struct Point {
    std::string name;
    double northing = 0;
    double easting = 0;
    double elevation = 0;
};

Point Placed(std::string name, const Point& from, double azimuth, double distance, double rise) {
    return {std::move(name), from.northing + distance * std::cos(azimuth),
            from.easting + distance * std::sin(azimuth), from.elevation + rise};
}

double Azimuth(const Point& from, const Point& to) {
    const double azimuth = std::atan2(to.easting - from.easting, to.northing - from.northing);
    return azimuth < 0 ? azimuth + 2 * kPi : azimuth;
}

// Running numbers of the whole file: every point keeps its own name across the jobs, as one
// reduction of the concatenated file needs.
struct Names {
    int station = 0;
    int control = 0;
    int mark = 0;
    int shot = 1000000;
};

const char* const kCodes[] = {"FENCE", "TREE", "KERB", "WALL", "MH", "EP", "BLDG", "GND"};

void Header(JobWriter& job, int index) {
    job.Line("CO,Nikon RAW data format V2.00");
    job.Line("CO,JOB%03d", index);
    job.Line("CO,Description: topographic survey, sheet %d", index);
    job.Line("CO,Client: county roads");
    job.Line("CO,Downloaded 14-Mar-2024 16:02:44");
    job.Line("CO,Software: Pre-installed version: 1.10");
    job.Line("CO,Instrument: Nikon NPL-332 Serial 123456");
    job.Line("CO,Dist Units: Metres");
    job.Line("CO,Angle Units: DDDMMSS");
    job.Line("CO,Zero azimuth: North");
    job.Line("CO,Coord Order: NEZ");
    job.Line("CO,HA Raw data: Azimuth");
    const double temperature = job.Uniform(5, 30);
    job.Line("CO,Temp: %.1f C  Press: %.0f hPa", temperature, job.Uniform(980, 1030));
}

// One job's open traverse: it starts on two control points and carries on station by station,
// each set up on the last one's foresight; a third control point checks the second station. The
// instrument is set to grid azimuths, so every circle reading is the azimuth of the sighting,
// with the instrument's errors.
class Traverse {
public:
    Traverse(JobWriter& job, Names& names, const Shape& shape) : job_(job), names_(names), shape_(shape) {
        here_ = {NextStation(), job_.Uniform(200000, 210000), job_.Uniform(100000, 110000),
                 job_.Uniform(90, 110)};
        heading_ = job_.Uniform(0, 2 * kPi);
        backsight_ = Around(NextControl(), here_, heading_ + kPi + job_.Uniform(-0.5, 0.5), shape_.legNearest,
                            shape_.legFarthest);
        ahead_ = NextLeg();
        std::vector<const Point*> controls{&here_, &backsight_};
        if (shape_.checkPoint) {
            check_ = Around(NextControl(), ahead_, job_.Uniform(0, 2 * kPi), 150, 400);
            controls.push_back(&check_);
        }
        for (const Point* control : controls)
            job_.Line("MP,%s,,%.3f,%.3f,%.3f,CP", control->name.c_str(), control->northing, control->easting,
                      control->elevation);
    }

    // Sets up on the next station, observes it and moves on along the traverse.
    void Station() {
        instrumentHeight_ = job_.Printed(1.4, 1.7, 0.001);
        job_.Line("ST,%s,,%s,,%.3f,,%s", here_.name.c_str(), backsight_.name.c_str(), instrumentHeight_,
                  Dms(Azimuth(here_, backsight_)).c_str());
        Rounds();
        SideShots();
        if (shape_.stakeOutAndCoordinates) {
            StakeOut();
            CoordinateRecords();
        }
        ++setups_;
        backsight_ = here_;
        here_ = ahead_;
        ahead_ = NextLeg();
    }

private:
    struct Target {
        Point point;
        double height = 0;
    };

    std::string NextStation() { return std::to_string(++names_.station); }
    std::string NextShot() { return std::to_string(names_.shot++); }
    std::string NextControl() { return "CP" + std::to_string(++names_.control); }

    // Legs of a few hundred metres with gentle bends and slopes.
    Point NextLeg() {
        heading_ += job_.Uniform(-shape_.legBend, shape_.legBend);
        return Around(NextStation(), here_, heading_, shape_.legNearest, shape_.legFarthest);
    }

    // A point in the given direction from another, on ground that slopes a little.
    Point Around(std::string name, const Point& from, double azimuth, double nearest, double farthest) {
        const double distance = job_.Uniform(nearest, farthest);
        const double slope = job_.Uniform(-0.01, 0.01);
        const double rise = slope * distance + job_.Uniform(-0.5, 0.5);
        return Placed(std::move(name), from, azimuth, distance, rise);
    }

    double PoleHeight() { return job_.Printed(1.3, 2.0, 0.001); }

    // Two rounds of both faces on the backsight, the foresight and a reference mark or two; a
    // mark the station before placed is seen again now and then, and checks the orientation.
    void Rounds() {
        std::vector<Target> targets{{backsight_, PoleHeight()}, {ahead_, PoleHeight()}};
        if (setups_ == 1 && shape_.checkPoint)
            targets.push_back({check_, PoleHeight()});
        const int marks = shape_.marksMost > 0 ? job_.Count(0, shape_.marksMost) : 0;
        const bool seenBefore = lastMark_ && std::hypot(lastMark_->northing - here_.northing,
                                                        lastMark_->easting - here_.easting) > 100;
        std::optional<Point> placed;
        for (int m = 0; m < marks; ++m) {
            if (m == 0 && seenBefore) {
                targets.push_back({*lastMark_, PoleHeight()});
                continue;
            }
            const Point mark =
                Around("RM" + std::to_string(++names_.mark), here_, job_.Uniform(0, 2 * kPi), 150, 400);
            placed = placed.value_or(mark);
            targets.push_back({mark, PoleHeight()});
        }
        lastMark_ = placed;
        for (int round = 0; round < 2; ++round) {
            for (const Target& target : targets)
                Face(target, false);
            for (auto target = targets.rbegin(); target != targets.rend(); ++target)
                Face(*target, true);
        }
    }

    void Face(const Target& target, bool faceRight) {
        const Reading reading = Read(target, faceRight);
        job_.Line("F%d,%s,%.3f,%.4f,%s,%s,%s", faceRight ? 2 : 1, target.point.name.c_str(), target.height,
                  reading.slope, reading.horizontal.c_str(), reading.vertical.c_str(), job_.Clock().c_str());
    }

    Target Detail(double nearest, double farthest) {
        Point point = Around(NextShot(), here_, job_.Uniform(0, 2 * kPi), nearest, farthest);
        return {std::move(point), PoleHeight()};
    }

    void SideShots() {
        for (int s = job_.Count(shape_.shotsLeast, shape_.shotsMost); s > 0; --s) {
            const Target target = Detail(2, shape_.shotFarthest);
            const Reading reading = Read(target, false);
            const std::string time = job_.Clock();
            job_.Line("SS,%s,%.3f,%.4f,%s,%s,%s,%s", target.point.name.c_str(), target.height, reading.slope,
                      reading.horizontal.c_str(), reading.vertical.c_str(), time.c_str(),
                      kCodes[job_.Count(0, 7)]);
        }
    }

    void StakeOut() {
        for (int s = job_.Count(0, 3); s > 0; --s) {
            const Target target = Detail(2, 100);
            const Reading reading = Read(target, false);
            const char* name = target.point.name.c_str();
            job_.Line("SO,%s,STK%s,%.3f,%.4f,%s,%s,%s,PEG", name, name, target.height, reading.slope,
                      reading.horizontal.c_str(), reading.vertical.c_str(), job_.Clock().c_str());
        }
    }

    void CoordinateRecords() {
        for (int s = job_.Count(0, 5); s > 0; --s) {
            const Point point = Detail(2, 300).point;
            job_.Line("%s,%s,,%.4f,%.4f,%.4f,%s", s % 2 == 0 ? "UP" : "MC", point.name.c_str(),
                      point.northing, point.easting, point.elevation, kCodes[job_.Count(0, 7)]);
        }
    }

    struct Reading {
        double slope = 0;
        std::string horizontal;
        std::string vertical;
    };

    // What the instrument prints for a target: the zenith angle from the height difference of
    // instrument and target, face right transiting both circles, each pointing with its error.
    Reading Read(const Target& target, bool faceRight) {
        const double horizontal =
            std::hypot(target.point.northing - here_.northing, target.point.easting - here_.easting);
        const double rise = target.point.elevation + target.height - here_.elevation - instrumentHeight_;
        const double zenith = std::atan2(horizontal, rise);
        const double azimuth = Azimuth(here_, target.point);
        Reading reading;
        reading.slope = std::hypot(horizontal, rise) + job_.Error(kDistanceSpread);
        reading.horizontal = Dms(faceRight ? azimuth + kPi + kCollimation + job_.Error(kPointing)
                                           : azimuth - kCollimation + job_.Error(kPointing));
        reading.vertical = Dms((faceRight ? 2 * kPi - zenith : zenith) + kIndex + job_.Error(kPointing));
        return reading;
    }

    JobWriter& job_;
    Names& names_;
    const Shape shape_;
    Point backsight_;
    Point here_;
    Point ahead_;
    double heading_ = 0;
    double instrumentHeight_ = 0;
    Point check_;
    int setups_ = 0;
    std::optional<Point> lastMark_;
};

} // namespace

std::optional<JobKind> JobKindNamed(const std::string& name) {
    if (name == "survey")
        return JobKind::Survey;
    if (name == "mixed")
        return JobKind::Mixed;
    return std::nullopt;
}

std::uint64_t WriteJob(const std::string& path, std::uint64_t bytes, const JobOptions& options) {
    JobWriter job(path, options.crlf, options.seed);
    const Shape shape = ShapeOf(options);
    Names names;
    int index = 1;
    while (job.Written() < bytes) {
        // A new job header every few hundred stations, as when downloads are concatenated.
        Header(job, index++);
        Traverse traverse(job, names, shape);
        for (int station = 0; station < kStationsPerJob && job.Written() < bytes; ++station)
            traverse.Station();
    }
    return job.Lines();
}

} // namespace bench
