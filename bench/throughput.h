// How fast the agent gets through work that is already there: the lines of
// one long command file, and many small command files, against the plain
// cost of opening, appending one record to and closing a file on the same
// machine in the same run.
#pragma once

#include "bench/bench.h"

namespace bench {

// Command lines per second for one file of `lines` quick lines.
double MeasureLineRate(const Setup& setup, bool durable, int lines);
// Files per second for `files` one-line files renamed into the input
// directory at once.
double MeasureFileRate(const Setup& setup, bool durable, int files);

enum class FloorKind {
    Stream,    // std::ofstream opened for appending
    OsCalls,   // the OS's own open, write and close
    OsToDisk,  // the same with the bytes forced to disk before the close
    // The OS's open, write and close, plus the record appended to a second
    // file kept open and forced to disk: a response file and its journal, the
    // least durable records can cost.
    OsPlusForcedAppend,
};
// Records per second appended to one file, each by open, append, close.
double MeasureFloorRate(const Setup& setup, FloorKind kind, int records);

}  // namespace bench
