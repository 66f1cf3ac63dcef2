// How long a point of sale waits for its answer: complete command files
// renamed into the input directory at random moments, timed from the rename
// to the first record of the response file and to the command file being
// gone.
#pragma once

#include <utility>
#include <vector>

#include "bench/bench.h"

namespace bench {

struct LatencyFigures {
    std::vector<double> firstRecordMs, goneMs;
};

// `files` files, one at a time, 0 to `maxGapMs` apart, with `waiting`
// unfinished files in the input directory all along.
LatencyFigures MeasureLatency(const Setup& setup, bool watch, bool durable, int files, int waiting, int maxGapMs);
// The same with two agents side by side, durable records on, one writing its
// status and one not, taking `files` files each in turns, so that a busy
// moment weighs on both alike: the first's figures, then the second's.
std::pair<LatencyFigures, LatencyFigures> MeasurePublishing(const Setup& setup, int files, int maxGapMs);
// A one-line request over the TCP channel, from its sending to its end line
// read back, against a one-line file's first record, taken in turns from
// one agent with `durable` records: `count` of each, 0 to `maxGapMs` apart.
struct RoundTripFigures {
    std::vector<double> requestMs, fileFirstRecordMs;
    // The same request and answer bytes over a connection whose thread hands
    // each request to a second thread, which sends the answer: the threads
    // and the network alone, no file and no printer.
    std::vector<double> floorMs;
};
RoundTripFigures MeasureRoundTrip(const Setup& setup, bool durable, int count, int maxGapMs);
void PrintLatency(const char* label, const std::vector<double>& milliseconds);

}  // namespace bench
