#include "bench/forced_writes.h"

#include <atomic>

#include "platform/file_system.h"

namespace bench {
namespace {

using namespace std::chrono_literals;
namespace platform = zentrada::platform;

// The OS's file system, counting what it is asked to force to disk: each
// durable write, append or truncation, each directory synchronised, and the
// directory a durable write that creates its file synchronises too.
class CountingFileSystem final : public platform::FileSystem {
public:
    long Forced() const { return forced_; }

    std::vector<platform::FileEntry> ListFiles(const std::string& directory) override {
        return os_.ListFiles(directory);
    }
    std::optional<std::string> ReadFileBytes(const std::string& path) override { return os_.ReadFileBytes(path); }
    std::optional<std::string> ReadFileRange(const std::string& path, std::uint64_t offset,
                                             std::size_t count) override {
        return os_.ReadFileRange(path, offset, count);
    }
    bool WriteFileBytes(const std::string& path, std::string_view bytes, bool truncate, bool durable) override {
        if (durable) forced_ += truncate ? 2 : 1;
        return os_.WriteFileBytes(path, bytes, truncate, durable);
    }
    bool SyncDirectoryOf(const std::string& path) override {
        ++forced_;
        return os_.SyncDirectoryOf(path);
    }
    bool TruncateFile(const std::string& path, std::uint64_t size, bool durable) override {
        if (durable) ++forced_;
        return os_.TruncateFile(path, size, durable);
    }
    bool MoveFileNoReplace(const std::string& from, const std::string& to) override {
        return os_.MoveFileNoReplace(from, to);
    }
    bool MoveFileReplacing(const std::string& from, const std::string& to) override {
        return os_.MoveFileReplacing(from, to);
    }
    bool RemoveFile(const std::string& path) override { return os_.RemoveFile(path); }
    bool FileExists(const std::string& path) override { return os_.FileExists(path); }
    std::optional<platform::FileEntry> FindFile(const std::string& path) override { return os_.FindFile(path); }
    std::intptr_t OpenAppend(const std::string& path) override { return os_.OpenAppend(path); }
    bool Append(std::intptr_t handle, std::string_view bytes, bool durable) override {
        if (durable) ++forced_;
        return os_.Append(handle, bytes, durable);
    }
    void CloseAppend(std::intptr_t handle) override { os_.CloseAppend(handle); }
    platform::LocalTime Now() override { return os_.Now(); }

private:
    platform::FileSystem& os_ = platform::OsFileSystem();
    std::atomic<long> forced_{0};
};

}  // namespace

ForcedWrites CountForcedWritesInThread(const Setup& setup, bool durable, int files) {
    CountingFileSystem counting;
    const platform::ScopedFileSystem installed(counting);
    RunningAgent agent(setup, durable ? "forced-durable" : "forced-plain", {.watch = true, .durable = durable});
    const fs::path staging = setup.root / "forced.tmp";
    // The first file creates the journal, once in the agent's life.
    RunFilesOneByOne(staging, agent.In(), "PRONTO", 1, 1);
    long forced[2];
    for (const int lines : {1, 10}) {
        const long before = counting.Forced();
        RunFilesOneByOne(staging, agent.In(), lines == 1 ? "UMA" : "DEZ", files, lines);
        // The last file's removal reaches the disk after the file is gone;
        // by the next idle pause the worker is done with it.
        std::this_thread::sleep_for(300ms);
        forced[lines == 10] = counting.Forced() - before;
    }
    ForcedWrites figures;
    figures.perFile = static_cast<double>(forced[0]) / files;
    figures.perExtraLine = static_cast<double>(forced[1] - forced[0]) / (9.0 * files);
    return figures;
}

}  // namespace bench
