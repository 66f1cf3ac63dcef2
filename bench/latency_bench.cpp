// How long a point of sale waits for its answer: command files renamed
// into the input directory at random moments, and the time from the rename
// to the first record of the response file and to the command file being
// gone. The real worker runs against the recording library with no delay,
// once with the idle pause ending when a file arrives and once with the
// plain timed pause, in the same run; then again with 1,000 unfinished
// 64 KiB files waiting in the input directory, as a slow writer leaves them.
//   latency_bench [FILES]   (default 500)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/agent_engine.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

struct Figures {
    std::vector<double> firstRecordMs, goneMs;
};

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto place = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[place];
}

void Print(const char* label, const std::vector<double>& values) {
    std::printf("  %-28s p50 %8.2f ms   p99 %8.2f ms   max %8.2f ms\n", label, Percentile(values, 0.50),
                Percentile(values, 0.99), *std::max_element(values.begin(), values.end()));
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

bool HasRecord(const fs::path& out, const std::string& stem) {
    for (const auto& entry : fs::directory_iterator(out))
        if (entry.path().filename().string().rfind(stem + "_", 0) == 0 && fs::file_size(entry.path()) > 0) return true;
    return false;
}

Figures Measure(const fs::path& root, const std::string& library, bool watch, int files, int waiting) {
    const std::string tag = std::string(watch ? "watch" : "poll") + std::to_string(waiting);
    const fs::path in = root / ("in-" + tag), out = root / ("out-" + tag);
    fs::create_directories(in);
    fs::create_directories(out);
    const std::string unfinished(64 * 1024, 'x');
    for (int i = 0; i < waiting; ++i) WriteFile(in / ("ESPERA" + std::to_string(i) + ".FPI"), unfinished);
    zentrada::engine::SharedState shared;
    shared.SetDirectories(in.string(), out.string());
    zentrada::engine::AgentEnvironment environment;
    environment.logPath = (root / "Zentrada_log.txt").string();
    environment.driverLibrary = library;
    environment.startPause = 0ms;
    environment.watchInputDirectory = watch;
    std::thread worker([&] { zentrada::engine::AgentThreadMain(shared, environment); });
    while (!shared.agentRunning) std::this_thread::sleep_for(1ms);

    std::mt19937 random(42);
    std::uniform_int_distribution<int> gapUs(0, 150'000);
    Figures figures;
    for (int i = 0; i < files; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(gapUs(random)));
        const std::string stem = "F" + std::to_string(i);
        WriteFile(root / "arriving.tmp", "TORVA_Fiscal_Cancelar_Ultimo_Item|\r\n.\r\n");
        const auto start = Clock::now();
        fs::rename(root / "arriving.tmp", in / (stem + ".FPI"));
        bool recorded = false;
        while (true) {
            if (!recorded && HasRecord(out, stem)) {
                recorded = true;
                figures.firstRecordMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            }
            if (!fs::exists(in / (stem + ".FPI"))) {
                const double gone = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                if (!recorded) figures.firstRecordMs.push_back(gone);
                figures.goneMs.push_back(gone);
                break;
            }
            std::this_thread::yield();
        }
    }
    shared.RequestStop();
    worker.join();
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::max(10, std::atoi(argv[1])) : 500;
    const fs::path root = fs::temp_directory_path() / ("zentrada-bench-" + std::to_string(std::random_device{}()));
    fs::create_directories(root);
#if defined(_WIN32)
    _putenv_s("TORVA_MODE", "recorder");
    const std::string library = (fs::path(BENCH_LIBRARY_DIR) / "InterfaceTorva.dll").string();
#else
    setenv("TORVA_MODE", "recorder", 1);
    const std::string library = (fs::path(BENCH_LIBRARY_DIR) / "libInterfaceTorva.so").string();
#endif
    std::printf("Zentrada latency, %d command files renamed into the input directory at random moments\n", files);
#if defined(_WIN32)
    if (std::getenv("WINELOADER") != nullptr || std::getenv("WINEPREFIX") != nullptr)
        std::printf("(under Wine: these are Wine's figures, not Windows')\n");
#endif
    for (const int waiting : {0, 1000}) {
        const Figures watching = Measure(root, library, true, files, waiting);
        const Figures polling = Measure(root, library, false, files, waiting);
        std::printf("%d unfinished 64 KiB files waiting\n", waiting);
        std::printf(" with notifications:\n");
        Print("rename -> first record", watching.firstRecordMs);
        Print("rename -> command file gone", watching.goneMs);
        std::printf(" with the timed pause only:\n");
        Print("rename -> first record", polling.firstRecordMs);
        Print("rename -> command file gone", polling.goneMs);
        std::printf(" p50 ratio (timed pause / notifications): %.1f\n",
                    Percentile(polling.firstRecordMs, 0.5) / std::max(0.001, Percentile(watching.firstRecordMs, 0.5)));
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return 0;
}
