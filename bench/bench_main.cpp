// The agent's benchmark, every figure taken in one run of one binary so that
// they compare on a shared, noisy machine: latency with notifications and
// with the timed pause alone, throughput against the machine's own cost of
// appending a record, CPU time while idle, and peak memory. The real worker
// runs in a thread against the recording library, which answers at once.
//   latency_bench [--files N] [--idle-seconds S] [--lines N] [--batch N]
//                 [--rounds N] [--only latency|throughput|idle] [--quick]
// BENCH_IDLE_SECONDS sets the idle window when --idle-seconds is not given.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench/bench.h"
#include "bench/idle.h"
#include "bench/latency.h"
#include "bench/os.h"
#include "bench/throughput.h"

namespace {

using namespace bench;

struct Options {
    int files = 500;          // latency: command files per series
    double idleSeconds = 60;  // idle window of each CPU figure
    int lines = 10'000;       // lines of the long command file
    int batch = 1'000;        // small files renamed in at once
    int rounds = 3;           // throughput rounds; the median is printed
    std::string only;         // one part alone: latency, throughput or idle
};

constexpr int kWaitingFiles = 1'000;
// Waiting files become abandoned when more than two whole minutes old; the
// idle window with them must end before.
constexpr double kLongestIdleSeconds = 110;

[[noreturn]] void Usage() {
    std::fprintf(stderr,
                 "usage: latency_bench [--files N] [--idle-seconds S] [--lines N] [--batch N] [--rounds N] "
                 "[--only latency|throughput|idle] [--quick]\n"
                 "  --quick: 100 files, 3 s idle, 2,000 lines, 200 small files, 1 round\n");
    std::exit(2);
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    if (const char* idle = std::getenv("BENCH_IDLE_SECONDS")) options.idleSeconds = std::atof(idle);
    bool idleGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        const auto value = [&]() -> double {
            if (i + 1 >= argc) Usage();
            return std::atof(argv[++i]);
        };
        if (option == "--files") {
            options.files = static_cast<int>(value());
        } else if (option == "--idle-seconds") {
            options.idleSeconds = value();
            idleGiven = true;
        } else if (option == "--lines") {
            options.lines = static_cast<int>(value());
        } else if (option == "--batch") {
            options.batch = static_cast<int>(value());
        } else if (option == "--rounds") {
            options.rounds = static_cast<int>(value());
        } else if (option == "--only") {
            if (i + 1 >= argc) Usage();
            options.only = argv[++i];
            if (options.only != "latency" && options.only != "throughput" && options.only != "idle") Usage();
        } else if (option == "--quick") {
            options.files = 100;
            if (!idleGiven) options.idleSeconds = 3;
            options.lines = 2'000;
            options.batch = 200;
            options.rounds = 1;
        } else if (!option.empty() && option[0] != '-') {
            options.files = std::atoi(argv[i]);  // the older form: latency_bench FILES
        } else {
            Usage();
        }
    }
    if (options.files < 10 || options.lines < 1 || options.batch < 1 || options.rounds < 1 ||
        !(options.idleSeconds > 0) || options.idleSeconds > kLongestIdleSeconds)
        Usage();
    return options;
}

double Megabytes(std::uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

void RunLatency(const Setup& setup, const Options& options) {
    std::printf("\nLatency: %d command files renamed into the input directory at random moments\n", options.files);
    for (const int waiting : {0, kWaitingFiles}) {
        const LatencyFigures watching = MeasureLatency(setup, true, true, options.files, waiting);
        const LatencyFigures polling = MeasureLatency(setup, false, true, options.files, waiting);
        const LatencyFigures plain = MeasureLatency(setup, true, false, options.files, waiting);
        std::printf("%d unfinished 64 KiB files waiting\n", waiting);
        std::printf(" with notifications:\n");
        PrintLatency("rename -> first record", watching.firstRecordMs);
        PrintLatency("rename -> command file gone", watching.goneMs);
        std::printf(" with the timed pause only:\n");
        PrintLatency("rename -> first record", polling.firstRecordMs);
        PrintLatency("rename -> command file gone", polling.goneMs);
        std::printf(" with notifications, durable records off:\n");
        PrintLatency("rename -> first record", plain.firstRecordMs);
        PrintLatency("rename -> command file gone", plain.goneMs);
        std::printf(" p50 ratio (timed pause / notifications): %.1f\n",
                    Percentile(polling.firstRecordMs, 0.5) / std::max(0.001, Percentile(watching.firstRecordMs, 0.5)));
    }
}

void RunThroughput(const Setup& setup, const Options& options) {
    // The rounds interleave every figure, so a busy moment of the machine
    // weighs on all of them alike; each figure is the median of its rounds.
    std::vector<double> floor, floorOs, floorDisk, lines[2], files[2];
    for (int round = 0; round < options.rounds; ++round) {
        floor.push_back(MeasureFloorRate(setup, FloorKind::Stream, options.lines));
        floorOs.push_back(MeasureFloorRate(setup, FloorKind::OsCalls, options.lines));
        floorDisk.push_back(MeasureFloorRate(setup, FloorKind::OsToDisk, options.lines));
        for (const bool durable : {false, true}) {
            lines[durable].push_back(MeasureLineRate(setup, durable, options.lines));
            files[durable].push_back(MeasureFileRate(setup, durable, options.batch));
        }
    }
    const double floorRate = Median(floor), floorDiskRate = Median(floorDisk);
    std::printf("\nThroughput (median of %d rounds)\n", options.rounds);
    std::printf(" floor, open + append one record + close, %d records:\n", options.lines);
    std::printf("  %-40s %10.0f records/s\n", "std::ofstream", floorRate);
    std::printf("  %-40s %10.0f records/s\n", "OS calls", Median(floorOs));
    std::printf("  %-40s %10.0f records/s\n", "OS calls, forced to disk", floorDiskRate);
    for (const bool durable : {false, true}) {
        const double lineRate = Median(lines[durable]);
        std::printf(" agent, durable records %s:\n", durable ? "on" : "off");
        std::printf("  %-40s %10.0f lines/s   %5.1f %% of the floor   %5.1f %% of the floor forced to disk\n",
                    Numbered("one file of ", options.lines, " lines").c_str(), lineRate, 100 * lineRate / floorRate,
                    100 * lineRate / floorDiskRate);
        std::printf("  %-40s %10.0f files/s\n", Numbered("", options.batch, " one-line files at once").c_str(),
                    Median(files[durable]));
    }
}

void RunIdle(const Setup& setup, const Options& options) {
    std::printf("\nCPU while idle, %.0f s each, %% of one core (the whole process)\n", options.idleSeconds);
    for (const int waiting : {0, kWaitingFiles}) {
        const double watching = MeasureIdleCpu(setup, true, waiting, options.idleSeconds);
        const double polling = MeasureIdleCpu(setup, false, waiting, options.idleSeconds);
        std::printf("  %-34s with notifications %6.3f %%   timed pause only %6.3f %%\n",
                    waiting == 0 ? "empty input directory" : "1000 unfinished 64 KiB files", watching, polling);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    // What the process holds before any agent ran, so that the agent's own
    // share of the peak shows.
    const std::uint64_t residentBefore = ResidentBytes();

    Setup setup;
    setup.root = fs::temp_directory_path() / Numbered("zentrada-bench-", static_cast<int>(std::random_device{}() >> 1), "");
    fs::create_directories(setup.root);
    SetEnvironment("TORVA_MODE", "recorder");
#if defined(_WIN32)
    setup.library = (fs::path(BENCH_LIBRARY_DIR) / "InterfaceTorva.dll").string();
#else
    setup.library = (fs::path(BENCH_LIBRARY_DIR) / "libInterfaceTorva.so").string();
#endif

    std::printf("Zentrada benchmark: the worker against the recording library, %u hardware threads\n",
                std::thread::hardware_concurrency());
    if (const std::string wine = WineVersion(); !wine.empty())
        std::printf("UNDER WINE %s: these are Wine's figures, not Windows'\n", wine.c_str());
    std::fflush(stdout);

    // Each part's own peak, where the OS can restart the count.
    std::vector<std::pair<const char*, std::uint64_t>> partPeaks;
    const auto run = [&](const char* part, void (*body)(const Setup&, const Options&)) {
        if (!options.only.empty() && options.only != part) return;
        const bool counted = ResetPeakResident();
        body(setup, options);
        if (counted) partPeaks.emplace_back(part, PhasePeakBytes());
        std::fflush(stdout);
    };
    run("latency", RunLatency);
    run("throughput", RunThroughput);
    run("idle", RunIdle);

    // The restarts of the count may leave the OS's whole-run figure below
    // a part's own.
    std::uint64_t peak = PeakResidentBytes();
    for (const auto& partPeak : partPeaks) peak = std::max(peak, partPeak.second);
    std::printf("\nMemory\n");
    std::printf("  %-40s %8.2f MiB\n", "resident before the agent started", Megabytes(residentBefore));
    for (const auto& [part, partPeak] : partPeaks)
        std::printf("  %-40s %8.2f MiB\n", (std::string("peak resident during ") + part).c_str(), Megabytes(partPeak));
    std::printf("  %-40s %8.2f MiB\n", "peak resident, whole run", Megabytes(peak));
    std::printf("  %-40s %8.2f MiB\n", "agent's share (peak - before)", Megabytes(peak - residentBefore));

    std::error_code ignored;
    fs::remove_all(setup.root, ignored);
    return 0;
}
