// What the agent costs while it waits: the process's CPU time over an idle
// window, as a share of one core.
#pragma once

#include "bench/bench.h"

namespace bench {

// Percent of one core the process used over `seconds` with the agent idle
// and `waiting` unfinished files in its input directory; this thread only
// sleeps meanwhile.
double MeasureIdleCpu(const Setup& setup, bool watch, int waiting, double seconds);

}  // namespace bench
