// A whole command file run by the real worker against the recording driver
// library (every call succeeds), over temporary directories: each input is
// dropped as VENDA.FPI and one cycle runs. A file with its marker must be
// taken and deleted, and every record and log line must be whole.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "engine/intake.h"
#include "engine/text_file.h"
#include "engine/worker.h"
#include "fuzz_check.h"

namespace fs = std::filesystem;
using namespace zentrada;

namespace {

void WriteBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Every line of `bytes` ends with 13, 13, 10 and holds no other line feed;
// records start with "Line ".
void CheckLines(const std::string& bytes, bool records) {
    for (std::size_t start = 0; start < bytes.size();) {
        const auto feed = bytes.find('\n', start);
        FUZZ_CHECK(feed != std::string::npos);
        FUZZ_CHECK(feed >= start + 2 && bytes.compare(feed - 2, 3, "\r\r\n") == 0);
        if (records) FUZZ_CHECK(bytes.compare(start, 5, "Line ") == 0);
        start = feed + 1;
    }
}

// One worker for the whole run, started once: the library stays loaded.
struct Agent {
    fs::path root;
    engine::SharedState shared;
    engine::AgentEnvironment environment;
    std::unique_ptr<engine::Worker> worker;

    fs::path In() const { return root / "in"; }
    fs::path Out() const { return root / "out"; }

    Agent() : root(fs::temp_directory_path() / ("zentrada-fuzz-" + std::to_string(::getpid()))) {
        fs::remove_all(root);
        fs::create_directories(In());
        fs::create_directories(Out());
        ::setenv("TORVA_MODE", "recorder", 1);
        ::setenv("TORVA_TRACE", (root / "trace.txt").c_str(), 1);
        // No faults and no script: the printer's own directory is not looked at.
        ::setenv("TORVA_FAULTS", (root / "falhas.txt").c_str(), 1);
        ::unsetenv("TORVA_SCRIPT");
        environment.logPath = (root / "Zentrada_log.txt").string();
        environment.journalPath = (root / "journal.txt").string();
        environment.driverLibrary = ZENTRADA_FUZZ_DRIVER;
        environment.startPause = std::chrono::milliseconds(0);
        environment.idlePause = std::chrono::milliseconds(1);
        environment.watchInputDirectory = false;
        // Durability is not what is tried here; syncing every record would
        // slow each run down to the disk's pace.
        environment.durableRecords = false;
        shared.SetDirectories(In().string(), Out().string());
        worker = std::make_unique<engine::Worker>(shared, environment);
        FUZZ_CHECK(!worker->Start().has_value());
    }
    ~Agent() {
        worker->Stop();
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Agent agent;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const fs::path file = agent.In() / "VENDA.FPI";
    WriteBytes(file, bytes);

    const bool ready = engine::HasEndMarker(engine::FoldTextMode(bytes));
    FUZZ_CHECK(agent.worker->RunCycle(false) == ready);
    FUZZ_CHECK(fs::exists(file) != ready);
    if (!ready) {
        // A waiting file is remembered as it is; a scan of the emptied
        // directory forgets it, so that the next input is read afresh.
        fs::remove(file);
        FUZZ_CHECK(!agent.worker->RunCycle(false));
    }

    int responses = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(agent.Out())) {
        const std::string name = entry.path().filename().string();
        FUZZ_CHECK(name.starts_with("VENDA_") && name.ends_with(".fpo"));
        CheckLines(ReadBytes(entry.path()), true);
        ++responses;
    }
    FUZZ_CHECK(responses <= (ready ? 1 : 0));
    CheckLines(ReadBytes(agent.environment.logPath), false);

    for (const fs::directory_entry& entry : fs::directory_iterator(agent.Out())) fs::remove(entry.path());
    fs::remove(agent.root / "trace.txt");
    fs::remove(agent.environment.logPath);
    return 0;
}
