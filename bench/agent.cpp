#include <algorithm>
#include <fstream>

#include "bench/bench.h"

namespace bench {

using namespace std::chrono_literals;

namespace {

// Each agent of a run gets directories of its own, however often a
// measurement is repeated.
std::string UniqueTag(const std::string& tag) {
    static int agents = 0;
    return tag + Numbered("-", ++agents, "");
}

}  // namespace

RunningAgent::RunningAgent(const Setup& setup, const std::string& name, Options options) {
    const std::string tag = UniqueTag(name);
    in_ = setup.root / ("in-" + tag);
    out_ = setup.root / ("out-" + tag);
    fs::create_directories(in_);
    fs::create_directories(out_);
    WriteWaitingFiles(in_, options.waiting);
    shared_.SetDirectories(in_.string(), out_.string());
    environment_.logPath = (setup.root / (tag + "_log.txt")).string();
    environment_.journalPath = (setup.root / (tag + "_journal.txt")).string();
    environment_.driverLibrary = setup.library;
    environment_.startPause = 0ms;
    environment_.watchInputDirectory = options.watch;
    environment_.durableRecords = options.durable;
    worker_ = std::thread([this] { zentrada::engine::AgentThreadMain(shared_, environment_); });
    while (!shared_.agentRunning) std::this_thread::sleep_for(1ms);
}

RunningAgent::~RunningAgent() {
    shared_.RequestStop();
    worker_.join();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

void WriteWaitingFiles(const fs::path& directory, int count) {
    const std::string unfinished(64 * 1024, 'x');
    for (int i = 0; i < count; ++i) WriteFile(directory / Numbered("ESPERA", i, ".FPI"), unfinished);
}

std::string Numbered(const char* prefix, int i, const char* suffix) {
    std::string name(prefix);
    name += std::to_string(i);
    name += suffix;
    return name;
}

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto place = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[place];
}

double Median(std::vector<double> values) { return Percentile(std::move(values), 0.5); }

}  // namespace bench
