// Throughput of the whole import through CreatePlugin against a host that only counts, and of the
// bare reading of the same file into converted lines, as the import reads it. Besides the benchmarks:
//   nikon_bench --generate MEGABYTES FILE [survey|mixed [SIDE_SHOTS]]   writes a job (default: a
//       survey job, 300 side shots a set-up)
//   nikon_bench --peak import|read FILE     prints the peak resident memory one run adds
// The benchmarks generate survey jobs, or mixed ones when NIKON_BENCH_JOB=mixed.
#include "bench/CountingHost.h"
#include "bench/JobGenerator.h"
#include "interfaces/CreatePlugin.h"
#include "platform/TextFile.h"
#include "plugin/ImportDriver.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

std::wstring Wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

std::uint64_t CountLines(const std::string& path) {
    std::uint64_t lines = 0;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char chunk[1 << 16];
        for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
            for (std::size_t i = 0; i < got; ++i)
                lines += chunk[i] == '\n' ? 1 : 0;
        std::fclose(file);
    }
    return lines;
}

// The generated jobs live in NIKON_BENCH_DIR (default: the temporary directory) and are made
// once per kind and size.
struct Job {
    std::string path;
    std::uint64_t bytes;
    std::uint64_t lines;
};

std::string EnvironmentOr(const char* name, std::string fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

Job JobOf(std::int64_t megabytes) {
    const std::string folder =
        EnvironmentOr("NIKON_BENCH_DIR", std::filesystem::temp_directory_path().string());
    const std::string kind = EnvironmentOr("NIKON_BENCH_JOB", "survey");
    bench::JobOptions options;
    options.kind = bench::JobKindNamed(kind).value_or(bench::JobKind::Survey);
    const std::string path = folder + "/nikon-" + kind + "-" + std::to_string(megabytes) + "MB.rdf";
    const std::uint64_t wanted = static_cast<std::uint64_t>(megabytes) << 20;
    std::error_code missing;
    if (std::filesystem::file_size(path, missing) < wanted || missing)
        bench::WriteJob(path, wanted, options);
    return {path, std::filesystem::file_size(path), CountLines(path)};
}

std::uint64_t ImportOnce(const std::string& path) {
    Plugin::IGroundBasedMIP* plugin = CreatePlugin();
    testsupport::PathList files({Wide(path)});
    bench::CountingSink sink;
    plugin->Import(&files, &sink);
    plugin->Release();
    return sink.Calls();
}

std::uint64_t ReadOnce(const std::string& path) {
    platform::SharedTextFile file;
    if (!file.Open(Wide(path)))
        return 0;
    return ReadLines(file).Count();
}

template <std::uint64_t (*Run)(const std::string&)> void Measure(benchmark::State& state) {
    const Job job = JobOf(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(Run(job.path));
    const auto iterations = static_cast<std::int64_t>(state.iterations());
    state.SetBytesProcessed(iterations * static_cast<std::int64_t>(job.bytes));
    state.counters["lines/s"] = benchmark::Counter(
        static_cast<double>(job.lines) * static_cast<double>(iterations), benchmark::Counter::kIsRate);
}

void BM_Import(benchmark::State& state) {
    Measure<ImportOnce>(state);
}
void BM_ReadLines(benchmark::State& state) {
    Measure<ReadOnce>(state);
}

BENCHMARK(BM_Import)->Arg(1)->Arg(10)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadLines)->Arg(1)->Arg(10)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

// The high-water mark of this process image alone; getrusage would also count what the parent
// held before the exec.
long PeakKilobytes() {
    long kilobytes = 0;
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr)
            if (std::sscanf(line, "VmHWM: %ld kB", &kilobytes) == 1)
                break;
        std::fclose(status);
    }
    return kilobytes;
}

int Peak(const char* what, const std::string& path) {
    const long before = PeakKilobytes();
    const std::uint64_t result = std::strcmp(what, "read") == 0 ? ReadOnce(path) : ImportOnce(path);
    const long grown = PeakKilobytes() - before;
    std::printf("peak_rss_bytes %ld results %llu\n", grown * 1024, static_cast<unsigned long long>(result));
    return 0;
}

} // namespace

int Generate(int argc, char** argv) {
    bench::JobOptions options;
    if (argc > 4) {
        const std::optional<bench::JobKind> kind = bench::JobKindNamed(argv[4]);
        if (!kind) {
            std::fprintf(stderr, "unknown job kind %s (survey or mixed)\n", argv[4]);
            return 2;
        }
        options.kind = *kind;
    }
    if (argc > 5)
        options.sideShots = std::atoi(argv[5]);
    const std::uint64_t lines = bench::WriteJob(argv[3], std::strtoull(argv[2], nullptr, 10) << 20, options);
    std::printf("%llu lines\n", static_cast<unsigned long long>(lines));
    return 0;
}

int main(int argc, char** argv) {
    if (argc >= 4 && argc <= 6 && std::strcmp(argv[1], "--generate") == 0)
        return Generate(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--peak") == 0)
        return Peak(argv[2], argv[3]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
