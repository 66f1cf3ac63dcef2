#include "bench/idle.h"

#include <algorithm>

#include "bench/os.h"

namespace bench {

double MeasureIdleCpu(const Setup& setup, bool watch, int waiting, double seconds) {
    RunningAgent agent(setup, Numbered(watch ? "idle-watch" : "idle-poll", waiting, ""),
                       {.watch = watch, .durable = true, .waiting = waiting});
    // The first scans read the waiting files once; that is intake, not
    // waiting. The window then ends well before the files are two minutes
    // old and would be moved aside as abandoned.
    std::this_thread::sleep_for(std::chrono::duration<double>(std::min(2.0, seconds / 2)));
    const double cpuBefore = ProcessCpuSeconds();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    return 100.0 * cpu / SecondsSince(start);
}

}  // namespace bench
