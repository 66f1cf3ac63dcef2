// The agent as a point of sale meets it: the real zentrada executable run
// as a process of its own, with its own directories, settings file, log and
// journal, the recording library beside it (TORVA_MODE=recorder). Everything
// is seen from outside: the kernel's notifications of the response file and
// of the command file's removal, /proc for the agent's CPU time and memory,
// strace for the writes it forces to disk. Linux only.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "bench/bench.h"
#include "bench/forced_writes.h"
#include "bench/latency.h"

namespace bench {

// Whether the agent can be measured as its own process here.
bool OutsideSupported();

// As MeasureLatency, with notifications, for two agents at once, one with
// durable records and one without, so that a busy moment of the machine
// weighs on both alike: `files` files to each, one at a time, in turns, 0 to
// `maxGapMs` apart, written under a temporary name beside the input
// directory and renamed in; timed until the response file shows under its
// name (it does so with its first record) and until the command file is
// removed. After each pair, one forced append of the benchmark's own is timed.
struct OutsideLatency {
    LatencyFigures durable, plain;
    std::vector<double> forcedAppendMs;
};
OutsideLatency MeasureOutsideLatency(const Setup& setup, int files, int waiting, int maxGapMs);
// Lines per second of one file of `lines` quick lines, from its rename until
// it is removed.
double MeasureOutsideLineRate(const Setup& setup, bool durable, int lines);
// Percent of one core the agent process used over `seconds` of idling with
// `waiting` unfinished files in its input directory.
double MeasureOutsideIdleCpu(const Setup& setup, int waiting, double seconds);
// The fsync and fdatasync calls of the agent process, as strace counts them
// while `files` one-line files run and then `files` ten-line files; nothing
// when strace is not installed.
std::optional<ForcedWrites> CountForcedWritesOutside(const Setup& setup, bool durable, int files);

// The highest peak resident memory (VmHWM) among the agent processes
// stopped since the last call, all zero when none was; with what that
// process held at its end, anonymous (its heap, its stacks) and file-backed
// (the executable and the libraries it maps).
struct AgentMemory {
    std::uint64_t peak = 0, anonymous = 0, fileBacked = 0;
};
AgentMemory TakeAgentMemory();

}  // namespace bench
