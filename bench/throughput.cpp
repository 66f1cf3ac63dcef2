#include "bench/throughput.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "bench/os.h"

namespace bench {
namespace {

using namespace std::chrono_literals;

// Records in the response files of `out`: each ends with 13, 13, 10.
long CountRecords(const fs::path& out) {
    long records = 0;
    for (const auto& entry : fs::directory_iterator(out)) {
        std::ifstream file(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        for (std::size_t at = bytes.find("\r\r\n"); at != std::string::npos; at = bytes.find("\r\r\n", at + 3))
            ++records;
    }
    return records;
}

// A rate is only worth printing when every line was answered.
void CheckRecords(const fs::path& out, long expected, const char* what) {
    const long records = CountRecords(out);
    if (records == expected) return;
    std::fprintf(stderr, "%s: %ld records for %ld command lines\n", what, records, expected);
    std::exit(1);
}

// Sleeps between looks: runs last long enough for 1 ms not to matter, and
// the agent keeps the second core to itself.
template <typename Done>
double SecondsUntil(Clock::time_point start, Done done) {
    while (!done()) std::this_thread::sleep_for(1ms);
    return SecondsSince(start);
}

// Whether `in` holds no command file any more.
bool NoCommandFileLeft(const fs::path& in) {
    for (const auto& entry : fs::directory_iterator(in))
        if (entry.path().extension() == ".FPI") return false;
    return true;
}

std::string Tag(const char* what, bool durable) { return std::string(what) + (durable ? "-durable" : "-plain"); }

}  // namespace

double MeasureLineRate(const Setup& setup, bool durable, int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) text += kQuickCommand;
    text += kEndLine;
    const fs::path staging = setup.root / "long.tmp";
    WriteFile(staging, text);
    RunningAgent agent(setup, Tag("lines", durable), {.watch = true, .durable = durable});
    const fs::path command = agent.In() / "LONGO.FPI";
    const auto start = Clock::now();
    fs::rename(staging, command);
    const double seconds = SecondsUntil(start, [&] { return !fs::exists(command); });
    CheckRecords(agent.Out(), lines, "one long file");
    return lines / seconds;
}

double MeasureFileRate(const Setup& setup, bool durable, int files) {
    const fs::path staging = setup.root / "batch";
    fs::create_directories(staging);
    for (int i = 0; i < files; ++i)
        WriteFile(staging / Numbered("LOTE", i, ".FPI"), std::string(kQuickCommand) + kEndLine);
    RunningAgent agent(setup, Tag("files", durable), {.watch = true, .durable = durable});
    const auto start = Clock::now();
    for (int i = 0; i < files; ++i) {
        const std::string name = Numbered("LOTE", i, ".FPI");
        fs::rename(staging / name, agent.In() / name);
    }
    const double seconds = SecondsUntil(start, [&] { return NoCommandFileLeft(agent.In()); });
    CheckRecords(agent.Out(), files, "small files");
    return files / seconds;
}

double MeasureFloorRate(const Setup& setup, FloorKind kind, int records) {
    const fs::path path = setup.root / "floor.fpo";
    const std::string name = path.string();
    fs::remove(path);
    const auto start = Clock::now();
    for (int i = 1; i <= records; ++i) {
        // Formatted afresh each time, as the agent formats each record.
        std::string record = Numbered("Line ", i, ": 0|");
        record += "\r\r\n";
        if (kind == FloorKind::Stream) {
            std::ofstream file(path, std::ios::binary | std::ios::app);
            file << record;
        } else {
            AppendWithOsCalls(name, record, kind == FloorKind::OsToDisk);
        }
    }
    const double seconds = SecondsSince(start);
    fs::remove(path);
    return records / seconds;
}

}  // namespace bench
