#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "bench/bench.h"
#include "bench/os.h"
#include "engine/tcp_client.h"

namespace bench {

using namespace std::chrono_literals;

std::string UniqueTag(const std::string& tag) {
    static int agents = 0;
    return tag + Numbered("-", ++agents, "");
}

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
    if (options.publish) environment_.statusPath = (setup.root / (tag + "_estado.prom")).string();
    environment_.spoolDirectory = (setup.root / ("spool-" + tag)).string();
    environment_.tcp.port = options.tcpPort;
    worker_ = std::thread([this] { zentrada::engine::AgentThreadMain(shared_, environment_); });
    while (!shared_.agentRunning) std::this_thread::sleep_for(1ms);
    // The channel listens once the worker runs: a first connection is tried
    // until it is taken.
    if (options.tcpPort != 0) {
        zentrada::engine::ChannelClient probe;
        while (!probe.Connect("127.0.0.1", options.tcpPort, 1s)) std::this_thread::sleep_for(1ms);
    }
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
    // On disk before the agent starts: their writing back would otherwise
    // slow every forced write of the measurement that follows.
    if (count > 0) SyncFileSystemOf(directory.string());
}

std::string QuickCommandFile(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) text += kQuickCommand;
    return text + kEndLine;
}

long CountRecords(const fs::path& out, const std::string& prefix) {
    long records = 0;
    for (const auto& entry : fs::directory_iterator(out)) {
        if (!entry.path().filename().string().starts_with(prefix)) continue;
        std::ifstream file(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        for (std::size_t at = bytes.find("\r\r\n"); at != std::string::npos; at = bytes.find("\r\r\n", at + 3))
            ++records;
    }
    return records;
}

void CheckRecords(const fs::path& out, const std::string& prefix, long expected, const char* what) {
    const long records = CountRecords(out, prefix);
    if (records == expected) return;
    std::fprintf(stderr, "%s: %ld records for %ld command lines\n", what, records, expected);
    std::exit(1);
}

void RunFilesOneByOne(const fs::path& staging, const fs::path& in, const char* prefix, int files, int lines) {
    const std::string text = QuickCommandFile(lines);
    for (int i = 0; i < files; ++i) {
        WriteFile(staging, text);
        const fs::path command = in / Numbered(prefix, i, ".FPI");
        fs::rename(staging, command);
        const auto start = Clock::now();
        while (fs::exists(command)) {
            if (SecondsSince(start) > 30) {
                std::fprintf(stderr, "%s was not taken within 30 s\n", command.string().c_str());
                std::exit(1);
            }
            std::this_thread::sleep_for(1ms);
        }
    }
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
