// How many writes the agent forces to disk (a file's or a directory's flush)
// for a file and for each of its lines: the cost of durable records in the
// disk's own currency, whatever the disk's speed.
#pragma once

#include "bench/bench.h"

namespace bench {

struct ForcedWrites {
    double perFile = 0;       // for a command file of one line, all told
    double perExtraLine = 0;  // for each line beyond the first
};

// Counted in the agent's file operations: the worker runs in a thread with
// a file system that forwards to the OS's and counts. `files` files of one
// line, then `files` of ten.
ForcedWrites CountForcedWritesInThread(const Setup& setup, bool durable, int files);

}  // namespace bench
