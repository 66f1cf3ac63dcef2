#include "bench/latency.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <random>

#include "engine/tcp_client.h"
#include "platform/socket.h"

namespace bench {
namespace {

bool HasRecord(const fs::path& out, const std::string& stem) {
    const std::string prefix = stem + "_";
    for (const auto& entry : fs::directory_iterator(out)) {
        if (!entry.path().filename().string().starts_with(prefix)) continue;
        // The pending file may be renamed away between the listing and here.
        std::error_code gone;
        const auto size = fs::file_size(entry.path(), gone);
        if (!gone && size > 0) return true;
    }
    return false;
}

// One file renamed into the agent's input directory, timed.
void TimeOneFile(const Setup& setup, const RunningAgent& agent, int i, LatencyFigures& figures) {
    const fs::path staging = setup.root / "arriving.tmp";
    const std::string stem = Numbered("F", i, "");
    const fs::path command = agent.In() / (stem + ".FPI");
    WriteFile(staging, std::string("TORVA_Fiscal_Cancelar_Ultimo_Item|\r\n") + kEndLine);
    const auto start = Clock::now();
    fs::rename(staging, command);
    // Spins rather than sleeps: a sleep's own granularity would be most of
    // what is measured.
    bool recorded = false;
    while (true) {
        if (!recorded && HasRecord(agent.Out(), stem)) {
            recorded = true;
            figures.firstRecordMs.push_back(MillisecondsSince(start));
        }
        if (!fs::exists(command)) {
            const double gone = MillisecondsSince(start);
            if (!recorded) figures.firstRecordMs.push_back(gone);
            figures.goneMs.push_back(gone);
            return;
        }
        std::this_thread::yield();
    }
}

// A server of two threads, as the channel has: one reads the connection and
// wakes the other, which answers each request with one record and the end
// line, in two sends.
class EchoFloor {
public:
    EchoFloor() {
        zentrada::platform::Listen("127.0.0.1", 0, listener_);
        port_ = zentrada::platform::LocalPort(listener_);
        reader_ = std::thread([this] { Read(); });
        answerer_ = std::thread([this] { Answer(); });
    }
    ~EchoFloor() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        woken_.notify_one();
        reader_.join();
        answerer_.join();
    }
    std::uint16_t Port() const { return port_; }

private:
    void Read() {
        while (!stopping_ && !zentrada::platform::WaitSocket(listener_, true, false, std::chrono::milliseconds(50)).read) {
        }
        zentrada::platform::Peer peer;
        if (auto accepted = zentrada::platform::Accept(listener_, peer)) connection_ = std::move(*accepted);
        std::string buffer(4096, '\0'), pending;
        while (!stopping_) {
            if (!zentrada::platform::WaitSocket(connection_, true, false, std::chrono::milliseconds(50)).read) continue;
            const auto received = zentrada::platform::Receive(connection_, buffer.data(), buffer.size());
            if (received <= 0) return;
            pending.append(buffer.data(), static_cast<std::size_t>(received));
            for (std::size_t end; (end = pending.find(kEndLine)) != std::string::npos;) {
                pending.erase(0, end + std::string_view(kEndLine).size());
                const std::lock_guard lock(mutex_);
                ++requests_;
                woken_.notify_one();
            }
        }
    }
    void Answer() {
        std::unique_lock lock(mutex_);
        while (true) {
            woken_.wait(lock, [this] { return stopping_ || requests_ > 0; });
            if (stopping_) return;
            --requests_;
            zentrada::platform::Send(connection_, "Line 1: 0|\r\r\n");
            zentrada::platform::Send(connection_, "#FIM 1\r\r\n");
        }
    }

    zentrada::platform::Socket listener_, connection_;
    std::uint16_t port_ = 0;
    std::mutex mutex_;
    std::condition_variable woken_;
    int requests_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread reader_, answerer_;
};

}  // namespace

LatencyFigures MeasureLatency(const Setup& setup, bool watch, bool durable, int files, int waiting, int maxGapMs) {
    const std::string tag = Numbered(watch ? "latency-watch" : "latency-poll", waiting, durable ? "" : "-plain");
    RunningAgent agent(setup, tag, {.watch = watch, .durable = durable, .waiting = waiting});
    std::mt19937 random(42);
    std::uniform_int_distribution<int> gapUs(0, maxGapMs * 1000);
    LatencyFigures figures;
    for (int i = 0; i < files; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(gapUs(random)));
        TimeOneFile(setup, agent, i, figures);
    }
    return figures;
}

std::pair<LatencyFigures, LatencyFigures> MeasurePublishing(const Setup& setup, int files, int maxGapMs) {
    const RunningAgent publishing(setup, "latency-status", {.publish = true});
    const RunningAgent silent(setup, "latency-nostatus", {});
    std::mt19937 random(42);
    std::uniform_int_distribution<int> gapUs(0, maxGapMs * 1000);
    std::pair<LatencyFigures, LatencyFigures> figures;
    for (int i = 0; i < 2 * files; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(gapUs(random)));
        if (i % 2 == 0) TimeOneFile(setup, publishing, i, figures.first);
        else TimeOneFile(setup, silent, i, figures.second);
    }
    return figures;
}

RoundTripFigures MeasureRoundTrip(const Setup& setup, bool durable, int count, int maxGapMs) {
    std::uint16_t port = 0;
    {
        zentrada::platform::Socket probe;
        zentrada::platform::Listen("127.0.0.1", 0, probe);
        port = zentrada::platform::LocalPort(probe);
    }
    const RunningAgent agent(setup, durable ? "roundtrip" : "roundtrip-plain", {.durable = durable, .tcpPort = port});
    zentrada::engine::ChannelClient client;
    if (!client.Connect("127.0.0.1", port, std::chrono::seconds(5))) {
        std::fprintf(stderr, "latency_bench: the TCP channel does not answer\n");
        std::exit(1);
    }
    const std::string request = std::string("TORVA_Fiscal_Cancelar_Ultimo_Item|\r\n") + kEndLine;
    std::mt19937 random(42);
    std::uniform_int_distribution<int> gapUs(0, maxGapMs * 1000);
    RoundTripFigures figures;
    LatencyFigures files;
    EchoFloor floor;
    zentrada::engine::ChannelClient floorClient;
    floorClient.Connect("127.0.0.1", floor.Port(), std::chrono::seconds(5));
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(gapUs(random)));
        TimeOneFile(setup, agent, i, files);
        std::this_thread::sleep_for(std::chrono::microseconds(gapUs(random)));
        const auto start = Clock::now();
        client.Send(request);
        const auto answer = client.Read(std::chrono::seconds(10));
        if (answer.end != 1u) {
            std::fprintf(stderr, "latency_bench: a request was not answered\n");
            std::exit(1);
        }
        figures.requestMs.push_back(MillisecondsSince(start));
        // Once per pair of runs is enough.
        if (durable) continue;
        std::this_thread::sleep_for(std::chrono::microseconds(gapUs(random)));
        const auto floorStart = Clock::now();
        floorClient.Send(request);
        if (floorClient.Read(std::chrono::seconds(10)).end == 1u) figures.floorMs.push_back(MillisecondsSince(floorStart));
    }
    figures.fileFirstRecordMs = std::move(files.firstRecordMs);
    return figures;
}

void PrintLatency(const char* label, const std::vector<double>& milliseconds) {
    std::printf("  %-28s p50 %8.2f ms   p99 %8.2f ms   max %8.2f ms\n", label, Percentile(milliseconds, 0.50),
                Percentile(milliseconds, 0.99), *std::max_element(milliseconds.begin(), milliseconds.end()));
}

}  // namespace bench
