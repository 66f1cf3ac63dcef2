// Shared parts of the agent's benchmark: the real worker run in a thread
// against the recording library, in directories of its own under the run's
// root, and the small file and figure helpers every measurement uses. The
// agent run as its own process is in outside.h.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/agent_engine.h"

namespace bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Where a run keeps its directories, which driver library it loads and,
// for the runs from outside, which agent executable it starts.
struct Setup {
    fs::path root;
    std::string library;
    std::string agentProgram;
};

// The worker running in a thread of its own until destroyed: input and
// output directories, log and journal named after `name` and new for each
// agent. Construction returns
// once the port is open; `waiting` unfinished 64 KiB files lie in the input
// directory before the worker starts.
class RunningAgent {
public:
    struct Options {
        bool watch = true;
        bool durable = true;
        int waiting = 0;
        bool publish = false;  // the status file written, as the hosts do
        std::uint16_t tcpPort = 0;  // the TCP channel on 127.0.0.1, off when 0
    };
    RunningAgent(const Setup& setup, const std::string& name, Options options);
    ~RunningAgent();
    RunningAgent(const RunningAgent&) = delete;
    RunningAgent& operator=(const RunningAgent&) = delete;

    const fs::path& In() const { return in_; }
    const fs::path& Out() const { return out_; }

private:
    fs::path in_, out_;
    zentrada::engine::SharedState shared_;
    zentrada::engine::AgentEnvironment environment_;
    std::thread worker_;
};

// `tag` made unique within the run: each agent gets directories of its own,
// however often a measurement is repeated.
std::string UniqueTag(const std::string& tag);

void WriteFile(const fs::path& path, const std::string& bytes);
// `count` files without their end marker, 64 KiB each, as a slow writer
// leaves them, forced to disk.
void WriteWaitingFiles(const fs::path& directory, int count);

// prefix + i + suffix, e.g. F12.FPI.
std::string Numbered(const char* prefix, int i, const char* suffix);

double MillisecondsSince(Clock::time_point start);
double SecondsSince(Clock::time_point start);
double Percentile(std::vector<double> values, double p);
double Median(std::vector<double> values);

// The command line the throughput runs repeat: one text parameter, which the
// recording library answers at once and the agent answers with one record.
inline constexpr char kQuickCommand[] = "TORVA_Display_Enviar_Texto|BENCH|\r\n";
inline constexpr char kEndLine[] = ".\r\n";
// `lines` quick lines and the end marker.
std::string QuickCommandFile(int lines);

// Records in the response files of `out` whose names start with `prefix`:
// each record ends with 13, 13, 10.
long CountRecords(const fs::path& out, const std::string& prefix);
// A rate is only worth printing when every line was answered: exits with a
// message otherwise.
void CheckRecords(const fs::path& out, const std::string& prefix, long expected, const char* what);

// Renames `files` command files of `lines` quick lines each into `in`, one at
// a time, each once the one before is gone: <prefix>0.FPI, <prefix>1.FPI...
// Each is written first as `staging`.
void RunFilesOneByOne(const fs::path& staging, const fs::path& in, const char* prefix, int files, int lines);

}  // namespace bench
