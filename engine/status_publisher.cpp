#include "engine/status_publisher.h"

#include <algorithm>
#include <chrono>

#include "platform/platform.h"
#include "resources/texts.h"

namespace zentrada::engine {
namespace {

using namespace std::chrono_literals;

// The status is rewritten this often while nothing happens, so a stale file
// tells that the agent is gone (shell/status_report.h waits three times as
// long before it says so).
constexpr auto kHeartbeat = 5s;
// Changes that come faster share one write.
constexpr auto kGather = 50ms;

DirectoryState StateOf(const std::string& directory) {
    const platform::DirectoryAccess access = platform::CheckDirectory(directory);
    return {access.present, access.writable};
}

}  // namespace

StatusPublisher::StatusPublisher(SharedState& shared, const AgentEnvironment& environment, const AgentLog& log)
    : shared_(shared), environment_(environment), log_(log), build_(ThisBuild(platform::ExecutableBaseName())) {
    Publish();
    thread_ = std::thread([this] { Run(); });
}

StatusPublisher::~StatusPublisher() {
    stop_ = true;
    shared_.status.Wake();
    thread_.join();
    Publish();
}

void StatusPublisher::Run() {
    while (!stop_) {
        shared_.status.WaitForNews(kHeartbeat);
        if (stop_) return;
        Publish();
        std::this_thread::sleep_for(kGather);
    }
}

void StatusPublisher::Publish() {
    StatusSnapshot status = shared_.status.Snapshot();
    status.input = StateOf(shared_.InputDirectory());
    status.output = StateOf(shared_.OutputDirectory());
    if (status.oldestWaitingNs != 0)
        status.oldestWaitingSeconds =
            std::max<double>(0, static_cast<double>(platform::FileClockNow() - status.oldestWaitingNs) / 1e9);
    const std::string text = FormatStatus(status, build_, UnixNow());
    Replace(environment_.statusPath, text);
    if (environment_.metricsPath.empty()) return;
    // A directory missing or refusing the file is logged once and tried
    // again at each write: the agent's work does not depend on it.
    const bool written = Replace(environment_.metricsPath, text);
    if (!written && !metricsFailing_) log_.WriteLog(FillPattern(texts::kMetricsNotWritten, {environment_.metricsPath}));
    metricsFailing_ = !written;
}

bool StatusPublisher::Replace(const std::string& path, const std::string& text) {
    // Beside it under a name no exporter reads (they take "*.prom").
    const std::string pending = path + ".tmp";
    if (platform::WriteFileBytes(pending, text, true) && platform::MoveFileReplacing(pending, path)) return true;
    platform::RemoveFile(pending);
    return false;
}

}  // namespace zentrada::engine
