#include "bench/latency.h"

#include <algorithm>
#include <cstdio>
#include <random>

namespace bench {
namespace {

bool HasRecord(const fs::path& out, const std::string& stem) {
    const std::string prefix = stem + "_";
    for (const auto& entry : fs::directory_iterator(out)) {
        if (!entry.path().filename().string().starts_with(prefix)) continue;
        // The pending file may be renamed away between the listing and here.
        std::error_code gone;
        const auto size = fs::file_size(entry.path(), gone);
        if (!gone && size > 0) return true;
    }
    return false;
}

}  // namespace

LatencyFigures MeasureLatency(const Setup& setup, bool watch, bool durable, int files, int waiting, int maxGapMs) {
    const std::string tag = Numbered(watch ? "latency-watch" : "latency-poll", waiting, durable ? "" : "-plain");
    RunningAgent agent(setup, tag, {.watch = watch, .durable = durable, .waiting = waiting});
    const fs::path staging = setup.root / "arriving.tmp";
    std::mt19937 random(42);
    std::uniform_int_distribution<int> gapUs(0, maxGapMs * 1000);
    LatencyFigures figures;
    for (int i = 0; i < files; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(gapUs(random)));
        const std::string stem = Numbered("F", i, "");
        const fs::path command = agent.In() / (stem + ".FPI");
        WriteFile(staging, std::string("TORVA_Fiscal_Cancelar_Ultimo_Item|\r\n") + kEndLine);
        const auto start = Clock::now();
        fs::rename(staging, command);
        // Spins rather than sleeps: a sleep's own granularity would be most
        // of what is measured.
        bool recorded = false;
        while (true) {
            if (!recorded && HasRecord(agent.Out(), stem)) {
                recorded = true;
                figures.firstRecordMs.push_back(MillisecondsSince(start));
            }
            if (!fs::exists(command)) {
                const double gone = MillisecondsSince(start);
                if (!recorded) figures.firstRecordMs.push_back(gone);
                figures.goneMs.push_back(gone);
                break;
            }
            std::this_thread::yield();
        }
    }
    return figures;
}

void PrintLatency(const char* label, const std::vector<double>& milliseconds) {
    std::printf("  %-28s p50 %8.2f ms   p99 %8.2f ms   max %8.2f ms\n", label, Percentile(milliseconds, 0.50),
                Percentile(milliseconds, 0.99), *std::max_element(milliseconds.begin(), milliseconds.end()));
}

}  // namespace bench
