#include "bench/throughput.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>

#include "bench/os.h"

namespace bench {
namespace {

using namespace std::chrono_literals;

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
    const fs::path staging = setup.root / "long.tmp";
    WriteFile(staging, QuickCommandFile(lines));
    RunningAgent agent(setup, Tag("lines", durable), {.watch = true, .durable = durable});
    const fs::path command = agent.In() / "LONGO.FPI";
    const auto start = Clock::now();
    fs::rename(staging, command);
    const double seconds = SecondsUntil(start, [&] { return !fs::exists(command); });
    CheckRecords(agent.Out(), "LONGO", lines, "one long file");
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
    CheckRecords(agent.Out(), "LOTE", files, "small files");
    return files / seconds;
}

double MeasureFloorRate(const Setup& setup, FloorKind kind, int records) {
    const fs::path path = setup.root / "floor.fpo";
    const fs::path journalPath = setup.root / "floor_journal.txt";
    const std::string name = path.string();
    fs::remove(path);
    std::optional<ForcedAppendFile> journal;
    if (kind == FloorKind::OsPlusForcedAppend) journal.emplace(journalPath.string());
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
            if (journal) journal->Append(record);
        }
    }
    const double seconds = SecondsSince(start);
    journal.reset();
    fs::remove(path);
    fs::remove(journalPath);
    return records / seconds;
}

}  // namespace bench
