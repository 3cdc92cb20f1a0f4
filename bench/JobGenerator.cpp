#include "bench/JobGenerator.h"

#include <cstdarg>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>

namespace bench {
namespace {

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

    // DDD.MMSS with whole seconds, as the instruments write it.
    std::string Dms(double low, double high) {
        const double degrees = Uniform(low, high);
        const int whole = static_cast<int>(degrees);
        const int minutes = static_cast<int>((degrees - whole) * 60);
        const int seconds = Count(0, 59);
        char text[24];
        std::snprintf(text, sizeof text, "%d.%02d%02d", whole, minutes, seconds);
        return text;
    }

private:
    std::FILE* file;
    const char* end;
    std::mt19937 random;
    std::uint64_t written = 0;
    std::uint64_t lines = 0;
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
    job.Line("CO,Temp: %.1f C  Press: %.0f hPa", job.Uniform(5, 30), job.Uniform(980, 1030));
}

void Station(JobWriter& job, int station, int& shot) {
    const int backsight = station > 1 ? station - 1 : 2;
    job.Line("MP,%d,,%.3f,%.3f,%.3f,CP", station, job.Uniform(5000, 6000), job.Uniform(2000, 3000),
             job.Uniform(90, 110));
    job.Line("ST,%d,,%d,,%.3f,,%s", station, backsight, job.Uniform(1.4, 1.7), job.Dms(0, 360).c_str());
    const int targets = job.Count(2, 4);
    for (int round = 0; round < 2; ++round) {
        for (int face = 1; face <= 2; ++face) {
            for (int t = 0; t < targets; ++t) {
                const int target = t == 0 ? backsight : 1000 * station + t;
                job.Line("F%d,%d,%.3f,%.4f,%s,%s,10:%02d:%02d", face, target, job.Uniform(1.3, 2.0),
                         job.Uniform(20, 400), job.Dms(0, 360).c_str(),
                         face == 1 ? job.Dms(80, 100).c_str() : job.Dms(260, 280).c_str(), job.Count(0, 59),
                         job.Count(0, 59));
            }
        }
    }
    const int shots = job.Count(15, 40);
    for (int s = 0; s < shots; ++s, ++shot)
        job.Line("SS,%d,%.3f,%.4f,%s,%s,10:%02d:%02d,%s", shot, job.Uniform(1.3, 2.0), job.Uniform(2, 300),
                 job.Dms(0, 360).c_str(), job.Dms(85, 95).c_str(), job.Count(0, 59), job.Count(0, 59),
                 kCodes[job.Count(0, 7)]);
    for (int s = job.Count(0, 3); s > 0; --s, ++shot)
        job.Line("SO,%d,STK%d,%.3f,%.4f,%s,%s,10:%02d:%02d,PEG", shot, shot, job.Uniform(1.3, 2.0),
                 job.Uniform(2, 100), job.Dms(0, 360).c_str(), job.Dms(85, 95).c_str(), job.Count(0, 59),
                 job.Count(0, 59));
    for (int s = job.Count(0, 5); s > 0; --s, ++shot)
        job.Line("%s,%d,,%.4f,%.4f,%.4f,%s", s % 2 == 0 ? "UP" : "MC", shot, job.Uniform(5000, 6000),
                 job.Uniform(2000, 3000), job.Uniform(90, 110), kCodes[job.Count(0, 7)]);
}

} // namespace

std::uint64_t WriteJob(const std::string& path, std::uint64_t bytes, bool crlf, std::uint32_t seed) {
    JobWriter job(path, crlf, seed);
    int index = 1;
    int shot = 100000;
    while (job.Written() < bytes) {
        // A new job header every few hundred stations, as when downloads are concatenated.
        Header(job, index++);
        for (int station = 1; station <= 300 && job.Written() < bytes; ++station)
            Station(job, station, shot);
    }
    return job.Lines();
}

} // namespace bench
