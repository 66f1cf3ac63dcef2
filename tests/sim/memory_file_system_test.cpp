#include "tests/sim/memory_file_system.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <thread>

namespace zentrada::testing {
namespace {

using namespace std::chrono_literals;

// "name=content ..." per directory, the directories parted by " | ".
std::string Summary(const MemoryFileSystem& fs) {
    std::string out;
    for (const char* directory : {"/d", "/e"}) {
        if (directory[1] == 'e') out += " |";
        for (const auto& name : fs.Names(directory)) {
            out += " " + name + "=" + *fs.Get(std::string(directory) + "/" + name);
        }
    }
    return out;
}

std::vector<int> Fields(const platform::LocalTime& t) {
    return {t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond};
}

// The calls go through platform's free functions, as the agent's do. Each
// call lists the steps it records; with the power cut at any step, the calls
// before it succeed, the rest fail, and reads go on answering.
TEST(MemoryFileSystem, CallsRecordTheirStepsAndFailFromTheCut) {
    struct Call {
        std::function<bool()> run;
        std::vector<std::string> steps;
    };
    platform::AppendFile log;
    const std::vector<Call> calls = {
        {[] { return platform::WriteFileBytes("/out/a.tmp", "hello", true, true); },
         {"create /out/a.tmp", "append 5 bytes to /out/a.tmp", "sync /out/a.tmp", "sync dir /out"}},
        {[] { return platform::WriteFileBytes("/out/a.tmp", "!!", false); }, {"append 2 bytes to /out/a.tmp"}},
        {[] { return platform::TruncateFile("/out/a.tmp", 5, true); },
         {"truncate /out/a.tmp to 5", "sync /out/a.tmp"}},
        {[] { return platform::MoveFileNoReplace("/out/a.tmp", "/out/a"); },
         {"link /out/a.tmp to /out/a", "unlink /out/a.tmp"}},
        {[&] { return log.Open("/in/log"); }, {"create /in/log"}},
        {[&] { return log.Append("xyz", true); }, {"append 3 bytes to /in/log", "sync /in/log"}},
        {[&] { return log.Open("/in\\log"); }, {"truncate /in\\log to 0"}},
        {[] { return platform::MoveFileReplacing("/out/a", "/in/log"); }, {"rename /out/a over /in/log"}},
        {[] { return platform::SyncDirectoryOf("/in/log"); }, {"sync dir /in"}},
    };
    std::vector<std::string> allSteps;
    for (const Call& call : calls) allSteps.insert(allSteps.end(), call.steps.begin(), call.steps.end());

    for (std::size_t cut = 0; cut <= allSteps.size(); ++cut) {
        SCOPED_TRACE("power cut at step " + std::to_string(cut));
        MemoryFileSystem fs;
        fs.AddDirectory("/in");
        fs.AddDirectory("/out/");
        if (cut < allSteps.size()) fs.CutPowerAt(cut);
        platform::ScopedFileSystem scoped(fs);
        std::size_t end = 0;
        for (const Call& call : calls) {
            end += call.steps.size();
            EXPECT_EQ(call.run(), end <= cut) << call.steps.front();
        }
        log.Close();
        ASSERT_EQ(fs.OperationCount(), cut);
        for (std::size_t i = 0; i < cut; ++i) EXPECT_EQ(fs.Describe(i), allSteps[i]);
        if (cut > 0 && allSteps[cut - 1] == "link /out/a.tmp to /out/a") {
            // Dead between link and unlink: both names, read as they are.
            EXPECT_EQ(fs.Names("/out"), (std::vector<std::string>{"a", "a.tmp"}));
            EXPECT_EQ(platform::ReadFileBytes("/out/a"), "hello");
        }
        if (cut == allSteps.size()) {
            EXPECT_EQ(fs.Names("/out"), std::vector<std::string>{});
            EXPECT_EQ(platform::ReadFileRange("/in/log", 1, 10), "ello");
        }
    }

    // Missing and unwritable directories refuse; the clock moves 1 ms a call.
    MemoryFileSystem fs;
    platform::ScopedFileSystem scoped(fs);
    fs.AddDirectory("/in");
    fs.AddDirectory("/out");
    EXPECT_TRUE(platform::WriteFileBytes("/out/r", "abc", false));
    EXPECT_TRUE(log.Open("/out/log"));
    fs.SetWritable("/out", false);
    EXPECT_FALSE(platform::WriteFileBytes("/gone/x", "1", true));
    EXPECT_FALSE(platform::WriteFileBytes("/out/x", "1", true));
    EXPECT_FALSE(platform::MoveFileReplacing("/out/r", "/in/r"));
    EXPECT_FALSE(platform::MoveFileNoReplace("/in/none", "/in/x"));
    EXPECT_FALSE(platform::RemoveFile("/out/r"));
    EXPECT_FALSE(log.Append("z", false));
    EXPECT_TRUE(platform::FileExists("/out/r") && platform::FileExists("/out"));
    fs.SetWritable("/out", true);
    EXPECT_TRUE(log.Append("z", false));
    fs.DropDirectory("/out");
    EXPECT_FALSE(log.Append("z", false));
    log.Close();
    EXPECT_FALSE(platform::FileExists("/out/r"));
    EXPECT_EQ(platform::ReadFileBytes("/out/r"), std::nullopt);
    EXPECT_EQ(fs.OperationCount(), 4u);  // create, append, create, append

    fs.AddDirectory("/out");
    fs.SetClock({2026, 12, 8, 10, 0, 0, 0});
    EXPECT_TRUE(platform::WriteFileBytes("/out/t", "12", false));
    fs.Advance(2s);
    const auto files = platform::ListFiles("/out");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].lastWriteNs, 1'796'724'000'001'000'000);
    EXPECT_EQ(Fields(files[0].lastWrite), (std::vector<int>{2026, 12, 8, 10, 0, 0, 1}));
    EXPECT_EQ(files[0].size, 2u);
    EXPECT_EQ(Fields(platform::Now()), (std::vector<int>{2026, 12, 8, 10, 0, 2, 3}));

    // The agent's thread writes while the test reads.
    std::thread writer([&] {
        for (int i = 0; i < 100; ++i) platform::WriteFileBytes("/out/t", "x", false);
    });
    for (std::size_t i = 0, seen = 0; i < 100; ++i) {
        const std::size_t size = platform::ReadFileBytes("/out/t")->size();
        EXPECT_GE(size, seen);
        seen = size;
    }
    writer.join();
    EXPECT_EQ(fs.Get("/out/t")->size(), 102u);
}

// Each case starts from /d and /e with files put on disk, runs some calls
// and lists every summary the states after a power cut show.
TEST(MemoryFileSystem, PowerCutStatesAreWhatTheDiskMayHold) {
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, const char*>> put;
        std::function<void(MemoryFileSystem&)> run;
        std::set<std::string> summaries;
    };
    const std::vector<Case> cases = {
        {"new file not synced", {}, [](auto& fs) { fs.WriteFileBytes("/d/f", "abc", true, false); },
         {" |", " f= |", " f=a |", " f=ab |", " f=abc |"}},
        {"new file written through", {}, [](auto& fs) { fs.WriteFileBytes("/d/f", "abc", true, true); },
         {" f=abc |"}},
        {"file synced, its name not", {},
         [](auto& fs) { fs.Append(fs.OpenAppend("/d/f"), "ab", true); }, {" |", " f=ab |"}},
        {"truncate then append", {{"/d/f", "abcd"}},
         [](auto& fs) {
             fs.TruncateFile("/d/f", 1, false);
             fs.WriteFileBytes("/d/f", "XY", false, false);
         },
         {" f=abcd |", " f=a |", " f=aX |", " f=aXY |"}},
        {"move without replace", {{"/d/a", "1"}}, [](auto& fs) { fs.MoveFileNoReplace("/d/a", "/d/b"); },
         {" a=1 |", " a=1 b=1 |", " b=1 |"}},
        {"move then directory synced", {{"/d/a", "1"}},
         [](auto& fs) {
             if (fs.MoveFileNoReplace("/d/a", "/d/b")) fs.SyncDirectoryOf("/d/b");
         },
         {" b=1 |"}},
        {"replace in one directory", {{"/d/j", "old"}, {"/d/t", "new"}},
         [](auto& fs) { fs.MoveFileReplacing("/d/t", "/d/j"); }, {" j=old t=new |", " j=new |"}},
        {"replace across directories", {{"/d/j", "old"}, {"/e/t", "new"}},
         [](auto& fs) { fs.MoveFileReplacing("/e/t", "/d/j"); },
         {" j=old | t=new", " j=new | t=new", " j=old |", " j=new |"}},
        {"moved away before its create was on disk", {},
         [](auto& fs) {
             fs.WriteFileBytes("/d/n", "x", false, false);
             fs.MoveFileNoReplace("/d/n", "/e/n");
             fs.SyncDirectoryOf("/e/n");
         },
         {" |", " n= | n=", " n=x | n=x", " | n=", " | n=x"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryFileSystem fs;
        fs.AddDirectory("/d");
        fs.AddDirectory("/e");
        for (const auto& [path, bytes] : c.put) fs.Put(path, bytes);
        c.run(fs);
        const auto states = fs.PowerCutStates(1000, 1);
        std::set<std::string> summaries;
        for (const auto& state : states) summaries.insert(Summary(state));
        EXPECT_EQ(summaries, c.summaries) << fs.Dump();
        EXPECT_EQ(Summary(states.at(states.size() > 1 ? 1 : 0)), Summary(fs)) << "the state keeping everything";
    }

    // Too many to list: a sample, the same for the same seed, holding the
    // two extremes; every state a fresh disk whose log, when there, keeps
    // what was synced and then a prefix of the rest.
    MemoryFileSystem fs;
    fs.AddDirectory("/d");
    std::string written;
    std::size_t synced = 0;
    const std::intptr_t handle = fs.OpenAppend("/d/log");
    for (int i = 0; i < 20; ++i) {
        const std::string record = "record " + std::to_string(i) + "\n";
        fs.Append(handle, record, i == 4);
        written += record;
        if (i == 4) synced = written.size();
    }
    fs.WriteFileBytes("/d/other", "abcdef", true, false);
    fs.CutPowerAt(fs.OperationCount());
    const platform::LocalTime cutAt = fs.Now();
    const auto states = fs.PowerCutStates(12, 7);
    const auto again = fs.PowerCutStates(12, 7);
    ASSERT_EQ(states.size(), 12u);
    EXPECT_EQ(Summary(states[0]), " |");
    EXPECT_EQ(Summary(states[1]), Summary(fs));
    std::set<std::string> dumps;
    for (std::size_t i = 0; i < states.size(); ++i) {
        MemoryFileSystem state = states[i];
        EXPECT_EQ(state.Dump(), again[i].Dump());
        dumps.insert(state.Dump());
        const auto log = state.Get("/d/log");
        if (log) {
            EXPECT_EQ(written.substr(0, log->size()), *log);
            EXPECT_GE(log->size(), synced);
        }
        EXPECT_FALSE(state.PowerIsCut());
        EXPECT_EQ(state.OperationCount(), 0u);
        EXPECT_TRUE(state.WriteFileBytes("/d/new", "x", false, false));
        EXPECT_EQ(state.Now().second, cutAt.second + 1);
    }
    EXPECT_EQ(dumps.size(), states.size());
}

}  // namespace
}  // namespace zentrada::testing
