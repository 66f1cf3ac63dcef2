// The agent's benchmark, every figure taken in one run of one binary so that
// they compare on a shared, noisy machine: latency, throughput against the
// machine's own cost of appending a record, CPU time while idle, the writes
// forced to disk, and peak memory. Each is taken in two forms: the real worker
// in a thread of this process, and the real zentrada executable as its own
// process, measured from outside as a point of sale meets it. Both run
// against the recording library, which answers at once. At the end, the
// targets with MET or MISSED, from the figures of the agent's own process.
//   latency_bench [--files N] [--gap MS] [--idle-seconds S] [--lines N]
//                 [--batch N] [--rounds N] [--counted N] [--waiting N]
//                 [--only latency|throughput|idle|forced|tcp]
//                 [--form thread|process] [--quick]
// BENCH_IDLE_SECONDS sets the idle window when --idle-seconds is not given.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "bench/bench.h"
#include "bench/forced_writes.h"
#include "bench/idle.h"
#include "bench/latency.h"
#include "bench/os.h"
#include "bench/outside.h"
#include "bench/throughput.h"

namespace {

using namespace bench;

struct Options {
    int files = 500;          // latency: command files per series
    int maxGapMs = 150;       // latency: the longest pause before a file
    double idleSeconds = 30;  // idle window of each CPU figure
    int lines = 10'000;       // lines of the long command file
    int batch = 1'000;        // small files renamed in at once
    int rounds = 3;           // throughput rounds; the median is printed
    int counted = 10;         // files of each length whose forced writes are counted
    int waiting = 1'000;      // unfinished files in the input directory, the second time
    std::string only;         // one part alone: latency, throughput, idle or forced
    std::string form;         // one form alone: thread or process
    bool Thread() const { return form != "process"; }
    bool Process() const { return form != "thread" && OutsideSupported(); }
};

// Waiting files become abandoned when more than two whole minutes old; the
// idle window with them must end before.
constexpr double kLongestIdleSeconds = 110;

[[noreturn]] void Usage() {
    std::fprintf(stderr,
                 "usage: latency_bench [--files N] [--gap MS] [--idle-seconds S] [--lines N] [--batch N] "
                 "[--rounds N] [--counted N] [--waiting N] [--only latency|throughput|idle|forced|tcp] "
                 "[--form thread|process] "
                 "[--quick]\n"
                 "  --quick: 20 files 0 to 20 ms apart, 1.5 s idle, 2,000 lines, 200 small files, 1 round, "
                 "3 files counted, 200 waiting\n");
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
        const auto word = [&]() -> std::string {
            if (i + 1 >= argc) Usage();
            return argv[++i];
        };
        if (option == "--files") {
            options.files = static_cast<int>(value());
        } else if (option == "--gap") {
            options.maxGapMs = static_cast<int>(value());
        } else if (option == "--idle-seconds") {
            options.idleSeconds = value();
            idleGiven = true;
        } else if (option == "--lines") {
            options.lines = static_cast<int>(value());
        } else if (option == "--batch") {
            options.batch = static_cast<int>(value());
        } else if (option == "--rounds") {
            options.rounds = static_cast<int>(value());
        } else if (option == "--counted") {
            options.counted = static_cast<int>(value());
        } else if (option == "--waiting") {
            options.waiting = static_cast<int>(value());
        } else if (option == "--only") {
            options.only = word();
            if (options.only != "latency" && options.only != "throughput" && options.only != "idle" &&
                options.only != "forced" && options.only != "tcp")
                Usage();
        } else if (option == "--form") {
            options.form = word();
            if (options.form != "thread" && options.form != "process") Usage();
        } else if (option == "--quick") {
            options.files = 20;
            options.maxGapMs = 20;
            if (!idleGiven) options.idleSeconds = 1.5;
            options.lines = 2'000;
            options.batch = 200;
            options.rounds = 1;
            options.counted = 3;
            options.waiting = 200;
        } else if (!option.empty() && option[0] != '-') {
            options.files = std::atoi(argv[i]);  // the older form: latency_bench FILES
        } else {
            Usage();
        }
    }
    if (options.files < 10 || options.maxGapMs < 0 || options.lines < 1 || options.batch < 1 ||
        options.rounds < 1 || options.counted < 1 || options.waiting < 1 || !(options.idleSeconds > 0) ||
        options.idleSeconds > kLongestIdleSeconds)
        Usage();
    return options;
}

double Megabytes(std::uint64_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

// The figures of zentrada as its own process that the targets are judged by;
// the first index is [no file waiting or --waiting files], the second
// [durable records].
struct Outcome {
    int waiting = 0;
    std::optional<double> firstP50[2][2], firstP99[2];
    std::optional<double> forcedAppendMs[2];
    std::optional<double> idlePercent[2];
    // The long file's lines/s in percent of its floor: std::ofstream's
    // open, append, close without durable records, and that plus one forced
    // append with them.
    std::optional<double> linesPlainShare, linesDurableShare;
    std::optional<double> publishingShare;  // first record p50, status written / not, in the thread
    std::vector<double> linesPlainShares, linesDurableShares;  // each round's
    AgentMemory agentMemory;
};
Outcome outcome;

// A one-line request over the TCP channel against a one-line file, taken in
// turns by one agent in a thread: the request's whole round trip (sent to
// its end line read) against the file's first record, durable records off
// and on, and one forced append beside them.
void RunRoundTrip(const Setup& setup, const Options& options) {
    std::printf("\nTCP channel, the worker in a thread: %d one-line requests and %d one-line files in turns, 0 to %d "
                "ms apart\n",
                options.files, options.files, options.maxGapMs);
    double requestP50[2] = {};
    for (const bool durable : {false, true}) {
        const RoundTripFigures figures = MeasureRoundTrip(setup, durable, options.files, options.maxGapMs);
        std::printf(" durable records %s:\n", durable ? "on" : "off");
        PrintLatency("request: sent -> end line", figures.requestMs);
        PrintLatency("file: rename -> first record", figures.fileFirstRecordMs);
        std::printf("  p50 ratio (request round trip / file first record): %.3f\n",
                    Percentile(figures.requestMs, 0.5) / std::max(0.001, Percentile(figures.fileFirstRecordMs, 0.5)));
        requestP50[durable] = Percentile(figures.requestMs, 0.5);
        if (!figures.floorMs.empty()) {
            PrintLatency("floor: threads and network", figures.floorMs);
            std::printf("  request p50 above the floor: %.2f ms\n", requestP50[0] - Percentile(figures.floorMs, 0.5));
        }
    }
    // As far apart as the requests: a forced write after a pause costs more
    // than one of a quick series.
    std::vector<double> forced;
    {
        ForcedAppendFile file((setup.root / "roundtrip-forced.txt").string());
        std::mt19937 random(42);
        std::uniform_int_distribution<int> gapUs(0, options.maxGapMs * 1000);
        for (int i = 0; i < options.files; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(gapUs(random)));
            const auto start = Clock::now();
            file.Append("Line 1: 0|\r\r\n");
            forced.push_back(MillisecondsSince(start));
        }
    }
    PrintLatency("one forced append", forced);
    std::printf("  request p50, durable on - off: %.2f ms, %.1f forced appends (p50)\n", requestP50[1] - requestP50[0],
                (requestP50[1] - requestP50[0]) / std::max(0.001, Percentile(forced, 0.5)));
}

void RunLatency(const Setup& setup, const Options& options) {
    if (options.Thread()) {
        std::printf("\nLatency, the worker in a thread: %d command files renamed into the input directory at random "
                    "moments, 0 to %d ms apart\n",
                    options.files, options.maxGapMs);
        for (const int waiting : {0, options.waiting}) {
            const LatencyFigures watching = MeasureLatency(setup, true, true, options.files, waiting, options.maxGapMs);
            // Half as many files: each waits for most of a pause, and the
            // figures settle with fewer.
            const LatencyFigures polling =
                MeasureLatency(setup, false, true, std::max(10, options.files / 2), waiting, options.maxGapMs);
            const LatencyFigures plain = MeasureLatency(setup, true, false, options.files, waiting, options.maxGapMs);
            std::printf("%d unfinished 64 KiB files waiting\n", waiting);
            std::printf(" with notifications:\n");
            PrintLatency("rename -> first record", watching.firstRecordMs);
            PrintLatency("rename -> command file gone", watching.goneMs);
            std::printf(" with the timed pause only (%zu files):\n", polling.goneMs.size());
            PrintLatency("rename -> first record", polling.firstRecordMs);
            PrintLatency("rename -> command file gone", polling.goneMs);
            std::printf(" with notifications, durable records off:\n");
            PrintLatency("rename -> first record", plain.firstRecordMs);
            PrintLatency("rename -> command file gone", plain.goneMs);
            std::printf(" p50 ratio (timed pause / notifications): %.1f\n",
                        Percentile(polling.firstRecordMs, 0.5) /
                            std::max(0.001, Percentile(watching.firstRecordMs, 0.5)));
            std::fflush(stdout);
        }
        // Two agents, one writing its status file as the hosts' agents do,
        // take the files in turns, empty input directory.
        const auto [publishing, silent] = MeasurePublishing(setup, options.files, options.maxGapMs);
        std::printf("status file written / not written, two agents in turns (%d files each):\n", options.files);
        PrintLatency("written: first record", publishing.firstRecordMs);
        PrintLatency("not written: first record", silent.firstRecordMs);
        outcome.publishingShare =
            Percentile(publishing.firstRecordMs, 0.5) / std::max(0.001, Percentile(silent.firstRecordMs, 0.5));
        std::printf(" p50 ratio (written / not written): %.3f\n", *outcome.publishingShare);
        std::fflush(stdout);
    }
    if (options.Process()) {
        std::printf("\nLatency seen from outside, zentrada as its own process: %d command files renamed into its "
                    "input directory at random moments, 0 to %d ms apart\n",
                    options.files, options.maxGapMs);
        for (const int waiting : {0, options.waiting}) {
            const OutsideLatency figures = MeasureOutsideLatency(setup, options.files, waiting, options.maxGapMs);
            const bool many = waiting != 0;
            std::printf("%d unfinished 64 KiB files waiting\n", waiting);
            std::printf(" durable records on:\n");
            PrintLatency("rename -> first record", figures.durable.firstRecordMs);
            PrintLatency("rename -> command file gone", figures.durable.goneMs);
            std::printf(" durable records off:\n");
            PrintLatency("rename -> first record", figures.plain.firstRecordMs);
            PrintLatency("rename -> command file gone", figures.plain.goneMs);
            std::printf(" floor, one forced append (write + fsync, file kept open):\n");
            PrintLatency("append", figures.forcedAppendMs);
            const double durableP50 = Percentile(figures.durable.firstRecordMs, 0.5);
            const double plainP50 = Percentile(figures.plain.firstRecordMs, 0.5);
            std::printf(" first record p50, durable - not durable: %.2f ms\n", durableP50 - plainP50);
            outcome.firstP50[many][1] = durableP50;
            outcome.firstP99[many] = Percentile(figures.durable.firstRecordMs, 0.99);
            outcome.firstP50[many][0] = plainP50;
            outcome.forcedAppendMs[many] = Median(figures.forcedAppendMs);
            std::fflush(stdout);
        }
    }
}

void PrintRate(const std::string& what, double rate, const char* unit) {
    std::printf("  %-44s %10.0f %s", what.c_str(), rate, unit);
}

// An agent's rates, each judged against floors taken beside it: the disk of
// a shared machine changes its pace from one second to the next.
struct Judged {
    std::vector<double> rates;
    std::vector<double> shares[2];  // percent of each floor it is judged by
};

void PrintShare(const std::vector<double>& shares, const char* floorName) {
    std::printf("   %5.1f %% of %s", Median(shares), floorName);
}

void RunThroughput(const Setup& setup, const Options& options) {
    // Every floor run, by kind. The plain open, write and close take a tenth
    // of the records when forced: a row of its own, no share is judged by it.
    std::vector<double> floors[4];
    const auto floor = [&](FloorKind kind) {
        const int records = kind == FloorKind::OsToDisk ? std::max(1, options.lines / 10) : options.lines;
        const double rate = MeasureFloorRate(setup, kind, records);
        floors[static_cast<int>(kind)].push_back(rate);
        return rate;
    };
    // Without durable records the floors cost no disk: taken just before
    // and just after the agent, each share against their mean. With them,
    // the forced floor writes as many records as the agent, so that a disk
    // that slows down under sustained forced writes slows both alike; it
    // runs before the agent in one round and after it in the next.
    const auto judge = [&](Judged& into, bool durable, bool floorFirst, auto run) {
        if (!durable) {
            const double streamBefore = floor(FloorKind::Stream), osBefore = floor(FloorKind::OsCalls);
            const double rate = run();
            const double streamAfter = floor(FloorKind::Stream), osAfter = floor(FloorKind::OsCalls);
            into.rates.push_back(rate);
            into.shares[0].push_back(200 * rate / (streamBefore + streamAfter));
            into.shares[1].push_back(200 * rate / (osBefore + osAfter));
            return;
        }
        const double forcedBefore = floorFirst ? floor(FloorKind::OsPlusForcedAppend) : 0;
        const double rate = run();
        const double forced = floorFirst ? forcedBefore : floor(FloorKind::OsPlusForcedAppend);
        floor(FloorKind::OsToDisk);
        into.rates.push_back(rate);
        into.shares[0].push_back(100 * rate / forced);
    };
    Judged lines[2], outsideLines[2];
    std::vector<double> files[2];
    for (int round = 0; round < options.rounds; ++round) {
        for (const bool durable : {false, true}) {
            const bool floorFirst = round % 2 == 0;
            if (options.Thread()) {
                judge(lines[durable], durable, floorFirst,
                      [&] { return MeasureLineRate(setup, durable, options.lines); });
                files[durable].push_back(MeasureFileRate(setup, durable, options.batch));
            }
            if (options.Process())
                judge(outsideLines[durable], durable, floorFirst,
                      [&] { return MeasureOutsideLineRate(setup, durable, options.lines); });
        }
    }
    std::printf("\nThroughput (median of %d rounds; each share is the median of the rounds' own, against floors "
                "taken beside the agent's run)\n",
                options.rounds);
    std::printf(" floor, open + append one record + close, %d records (a tenth when forced to disk):\n",
                options.lines);
    const char* floorNames[4] = {"std::ofstream", "OS calls", "OS calls, forced to disk",
                                 "OS calls + one forced append (kept open)"};
    for (const FloorKind kind :
         {FloorKind::Stream, FloorKind::OsCalls, FloorKind::OsToDisk, FloorKind::OsPlusForcedAppend}) {
        const auto& runs = floors[static_cast<int>(kind)];
        if (!runs.empty()) PrintRate(floorNames[static_cast<int>(kind)], Median(runs), "records/s\n");
    }
    const std::string long_ = Numbered("one file of ", options.lines, " lines");
    const auto printLines = [&](const Judged& judged, bool durable) {
        PrintRate(long_, Median(judged.rates), "lines/s");
        if (durable) {
            PrintShare(judged.shares[0], "OS calls + one forced append");
        } else {
            PrintShare(judged.shares[0], "std::ofstream");
            PrintShare(judged.shares[1], "OS calls");
        }
        std::printf("\n");
    };
    for (const bool durable : {false, true}) {
        if (!options.Thread()) break;
        std::printf(" agent in a thread, durable records %s:\n", durable ? "on" : "off");
        printLines(lines[durable], durable);
        PrintRate(Numbered("", options.batch, " one-line files at once"), Median(files[durable]), "files/s\n");
    }
    for (const bool durable : {false, true}) {
        if (!options.Process()) break;
        std::printf(" zentrada as its own process, durable records %s:\n", durable ? "on" : "off");
        printLines(outsideLines[durable], durable);
    }
    if (options.Process()) {
        outcome.linesPlainShares = outsideLines[0].shares[0];
        outcome.linesDurableShares = outsideLines[1].shares[0];
        outcome.linesPlainShare = Median(outcome.linesPlainShares);
        outcome.linesDurableShare = Median(outcome.linesDurableShares);
    }
}

void RunIdle(const Setup& setup, const Options& options) {
    std::printf("\nCPU while idle, %g s each, %% of one core\n", options.idleSeconds);
    const auto label = [](int waiting) {
        return waiting == 0 ? std::string("empty input directory") : Numbered("", waiting, " unfinished 64 KiB files");
    };
    if (options.Thread()) {
        std::printf(" agent in a thread (the whole benchmark process):\n");
        for (const int waiting : {0, options.waiting}) {
            const double watching = MeasureIdleCpu(setup, true, waiting, options.idleSeconds);
            const double polling = MeasureIdleCpu(setup, false, waiting, options.idleSeconds);
            std::printf("  %-34s with notifications %6.3f %%   timed pause only %6.3f %%\n", label(waiting).c_str(),
                        watching, polling);
            std::fflush(stdout);
        }
    }
    if (options.Process()) {
        std::printf(" zentrada as its own process (utime + stime of /proc/<pid>/stat), notifications:\n");
        for (const int waiting : {0, options.waiting}) {
            const double percent = MeasureOutsideIdleCpu(setup, waiting, options.idleSeconds);
            std::printf("  %-34s %6.3f %%\n", label(waiting).c_str(), percent);
            outcome.idlePercent[waiting != 0] = percent;
            std::fflush(stdout);
        }
    }
}

void PrintForced(const char* form, bool durable, const ForcedWrites& forced) {
    std::printf("  %-44s durable records %-3s  %5.2f per one-line file   %5.2f per extra line\n", form,
                durable ? "on" : "off", forced.perFile, forced.perExtraLine);
}

void RunForced(const Setup& setup, const Options& options) {
    std::printf("\nForced writes (fsync or fdatasync of a file or a directory), %d files of one line, then %d of ten\n",
                options.counted, options.counted);
    for (const bool durable : {true, false}) {
        if (options.Thread())
            PrintForced("agent in a thread, in its file operations", durable,
                        CountForcedWritesInThread(setup, durable, options.counted));
        if (!options.Process()) continue;
        if (const auto counted = CountForcedWritesOutside(setup, durable, options.counted))
            PrintForced("zentrada as its own process, by strace", durable, *counted);
        else
            std::printf("  zentrada as its own process: not counted, strace is not installed or cannot attach\n");
        std::fflush(stdout);
    }
}

// One line of the verdicts: the figure, the limit, MET or MISSED.
void Verdict(const std::string& target, const std::optional<double>& figure, double limit, bool atMost,
             const char* unit, const std::string& note = {}) {
    if (!figure) {
        std::printf("  %-76s %16s\n", target.c_str(), "not measured");
        return;
    }
    const bool met = atMost ? *figure <= limit : *figure >= limit;
    char shown[64];
    std::snprintf(shown, sizeof shown, "%.3f %s", *figure, unit);
    std::printf("  %-76s %14s  %-6s %s\n", target.c_str(), shown, met ? "MET" : "MISSED", note.c_str());
}

void PrintVerdicts() {
    std::printf("\nTargets, zentrada as its own process (durable records on unless said)\n");
    for (const int many : {0, 1}) {
        const std::string where = many ? Numbered(", ", outcome.waiting, " files waiting") : ", empty input directory";
        Verdict("first record p50 <= 1 ms" + where, outcome.firstP50[many][1], 1, true, "ms");
        Verdict("first record p99 <= 5 ms" + where, outcome.firstP99[many], 5, true, "ms");
    }
    for (const int many : {0, 1}) {
        const std::string where = many ? Numbered(", ", outcome.waiting, " waiting") : ", empty";
        std::optional<double> above;
        std::string note;
        if (outcome.firstP50[many][1] && outcome.firstP50[many][0] && outcome.forcedAppendMs[many]) {
            above = *outcome.firstP50[many][1] - *outcome.firstP50[many][0];
            char text[64];
            std::snprintf(text, sizeof text, "(one forced append: %.3f ms)", *outcome.forcedAppendMs[many]);
            note = text;
        }
        Verdict("first record p50, durable - not durable <= one forced append" + where, above,
                outcome.forcedAppendMs[many].value_or(0), true, "ms", note);
    }
    Verdict("CPU while idle <= 0.2 %, empty input directory", outcome.idlePercent[0], 0.2, true, "%");
    Verdict(Numbered("CPU while idle <= 0.5 %, ", outcome.waiting, " files waiting"), outcome.idlePercent[1], 0.5, true,
            "%");
    const auto rounds = [](const std::vector<double>& shares) {
        std::string text = "(rounds:";
        for (const double share : shares) {
            char one[16];
            std::snprintf(one, sizeof one, " %.1f", share);
            text += one;
        }
        return text + ")";
    };
    Verdict("long file >= 90 % of OS calls + one forced append", outcome.linesDurableShare, 90, false, "%",
            rounds(outcome.linesDurableShares));
    Verdict("long file, durable off, >= 70 % of open+append+close (std::ofstream)", outcome.linesPlainShare, 70,
            false, "%", rounds(outcome.linesPlainShares));
    Verdict("first record p50, status file written / not written <= 1.05 (in a thread)",
            outcome.publishingShare, 1.05, true, "");
    Verdict("peak resident memory (VmHWM) <= 4 MiB",
            outcome.agentMemory.peak ? std::optional<double>(Megabytes(outcome.agentMemory.peak)) : std::nullopt, 4,
            true, "MiB");
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    // What the process holds before any agent ran, so that the agent's own
    // share of the peak shows.
    const std::uint64_t residentBefore = ResidentBytes();

    Setup setup;
    setup.root =
        fs::temp_directory_path() / Numbered("zentrada-bench-", static_cast<int>(std::random_device{}() >> 1), "");
    fs::create_directories(setup.root);
    SetEnvironment("TORVA_MODE", "recorder");
    SetEnvironment("TORVA_FAULTS", "off");
#if defined(_WIN32)
    setup.library = (fs::path(BENCH_LIBRARY_DIR) / "InterfaceTorva.dll").string();
#else
    setup.library = (fs::path(BENCH_LIBRARY_DIR) / "libInterfaceTorva.so").string();
#endif
    setup.agentProgram = BENCH_AGENT_PROGRAM;

    std::printf("Zentrada benchmark: the agent against the recording library, %u hardware threads, %s build\n",
                std::thread::hardware_concurrency(),
#if defined(NDEBUG)
                "optimised"
#else
                "DEBUG (not the figures to quote)"
#endif
    );
    if (options.form != "thread" && !OutsideSupported())
        std::printf("zentrada as its own process is measured on Linux only: the worker in a thread alone here\n");
    else if (options.Process())
        std::printf("zentrada: %s\n", setup.agentProgram.c_str());
    if (const std::string wine = WineVersion(); !wine.empty())
        std::printf("UNDER WINE %s: these are Wine's figures, not Windows'\n", wine.c_str());
    std::fflush(stdout);

    // Each part's own peak, where the OS can restart the count, and the
    // peak of the agent's own processes during it.
    std::vector<std::pair<const char*, std::uint64_t>> partPeaks;
    std::vector<std::pair<const char*, AgentMemory>> agentPeaks;
    const auto run = [&](const char* part, void (*body)(const Setup&, const Options&)) {
        if (!options.only.empty() && options.only != part) return;
        const bool counted = ResetPeakResident();
        body(setup, options);
        if (counted && options.Thread()) partPeaks.emplace_back(part, PhasePeakBytes());
        if (const AgentMemory agent = TakeAgentMemory(); agent.peak != 0) {
            agentPeaks.emplace_back(part, agent);
            if (agent.peak > outcome.agentMemory.peak) outcome.agentMemory = agent;
        }
        std::fflush(stdout);
    };
    run("latency", RunLatency);
    run("throughput", RunThroughput);
    run("idle", RunIdle);
    run("forced", RunForced);
    run("tcp", RunRoundTrip);

    std::printf("\nMemory\n");
    if (options.Thread()) {
        // The restarts of the count may leave the OS's whole-run figure below
        // a part's own.
        std::uint64_t peak = PeakResidentBytes();
        for (const auto& partPeak : partPeaks) peak = std::max(peak, partPeak.second);
        std::printf(" the benchmark process, agent in a thread:\n");
        std::printf("  %-44s %8.2f MiB\n", "resident before the agent started", Megabytes(residentBefore));
        for (const auto& [part, partPeak] : partPeaks)
            std::printf("  %-44s %8.2f MiB\n", (std::string("peak resident during ") + part).c_str(),
                        Megabytes(partPeak));
        std::printf("  %-44s %8.2f MiB\n", "peak resident, whole run", Megabytes(peak));
        std::printf("  %-44s %8.2f MiB\n", "agent's share (peak - before)", Megabytes(peak - residentBefore));
    }
    if (!agentPeaks.empty()) {
        std::printf(" zentrada as its own process, the highest peak (VmHWM) of its processes; that process at its "
                    "end:\n");
        for (const auto& [part, agent] : agentPeaks)
            std::printf("  %-44s %8.2f MiB   anonymous %5.2f MiB, file-backed %5.2f MiB\n",
                        (std::string("peak resident during ") + part).c_str(), Megabytes(agent.peak),
                        Megabytes(agent.anonymous), Megabytes(agent.fileBacked));
    }
    outcome.waiting = options.waiting;
    if (options.Process()) PrintVerdicts();

    std::error_code ignored;
    fs::remove_all(setup.root, ignored);
    return 0;
}
