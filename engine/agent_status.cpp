#include "engine/agent_status.h"

#include <charconv>
#include <string_view>

namespace zentrada::engine {
namespace {

// A number as Prometheus reads it, the same in every locale.
std::string Number(double value, int decimals = 3) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
    std::string_view shown(text, static_cast<std::size_t>(end - text));
    // Whole numbers lose their zeros: "1.500" reads "1.5", "2.000" reads "2".
    if (shown.find('.') != std::string_view::npos) {
        while (shown.ends_with('0')) shown.remove_suffix(1);
        if (shown.ends_with('.')) shown.remove_suffix(1);
    }
    return std::string(shown);
}

std::string Count(std::uint64_t value) { return std::to_string(value); }

// A label value with its backslashes, quotes and line feeds escaped.
std::string Label(std::string_view value) {
    std::string escaped;
    for (const char c : value) {
        if (c == '\\') escaped += "\\\\";
        else if (c == '"') escaped += "\\\"";
        else if (c == '\n') escaped += "\\n";
        else escaped += c;
    }
    return escaped;
}

class Exposition {
public:
    void Metric(std::string_view name, std::string_view type, std::string_view help) {
        text_.append("# HELP ").append(name).append(" ").append(help).append("\n");
        text_.append("# TYPE ").append(name).append(" ").append(type).append("\n");
    }
    void Sample(std::string_view name, const std::string& value, std::string_view labels = {}) {
        text_.append(name);
        if (!labels.empty()) text_.append("{").append(labels).append("}");
        text_.append(" ").append(value).append("\n");
    }
    void Gauge(std::string_view name, std::string_view help, const std::string& value) {
        Metric(name, "gauge", help);
        Sample(name, value);
    }
    void Counter(std::string_view name, std::string_view help, std::uint64_t value) {
        Metric(name, "counter", help);
        Sample(name, Count(value));
    }
    std::string Take() { return std::move(text_); }

private:
    std::string text_;
};

constexpr std::string_view kLineOutcomeNames[kLineOutcomes] = {"success", "driver_status", "agent_error"};

}  // namespace

BuildInfo ThisBuild(const std::string& program) {
#if defined(__x86_64__) || defined(_M_X64)
    constexpr const char* kArchitecture = "x86_64";
#elif defined(__i386__) || defined(_M_IX86)
    constexpr const char* kArchitecture = "x86";
#elif defined(__aarch64__)
    constexpr const char* kArchitecture = "arm64";
#else
    constexpr const char* kArchitecture = "other";
#endif
    return {ZENTRADA_VERSION, program, kArchitecture};
}

double UnixNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::string FormatStatus(const StatusSnapshot& status, const BuildInfo& build, double now) {
    Exposition out;
    out.Metric("zentrada_build_info", "gauge", "The running agent: version, program and architecture.");
    out.Sample("zentrada_build_info", "1",
               "version=\"" + Label(build.version) + "\",program=\"" + Label(build.program) + "\",arch=\"" +
                   Label(build.architecture) + "\"");
    out.Gauge("zentrada_start_time_seconds", "When the agent started, in seconds since the Unix epoch.",
              Number(status.startTime));
    out.Gauge("zentrada_status_time_seconds",
              "When this status was written; it is rewritten every 5 seconds while the agent runs.", Number(now));
    out.Gauge("zentrada_agent_running", "1 while the agent takes command files (the printer port open), else 0.",
              Count(status.agentRunning));
    out.Gauge("zentrada_printer_online", "1 when the printer answered the last status query, else 0.",
              Count(status.printerOnline));
    out.Gauge("zentrada_printer_state_change_time_seconds", "When zentrada_printer_online took its present value.",
              Number(status.printerSince));
    for (const bool writable : {false, true}) {
        const std::string_view name = writable ? "zentrada_directory_writable" : "zentrada_directory_present";
        out.Metric(name, "gauge",
                   writable ? "1 when the agent can create files in the directory." : "1 when the directory exists.");
        for (const auto& [label, state] : {std::pair{"input", status.input}, std::pair{"output", status.output}})
            out.Sample(name, Count(writable ? state.writable : state.present),
                       std::string("directory=\"") + label + "\"");
    }
    out.Counter("zentrada_files_answered_total", "Command files run to their end since the start.",
                status.filesAnswered);
    out.Counter("zentrada_files_failed_total",
                "Command files ended early by a failed line (no /NOSTOP) or rejected by /PRE.", status.filesFailed);
    out.Counter("zentrada_files_interrupted_total", "Command files found cut short by a crash and put right.",
                status.fileEvents[static_cast<std::size_t>(FileEvent::Interrupted)]);
    out.Counter("zentrada_files_abandoned_total",
                "Command files left without their end marker for two minutes, renamed .bad.",
                status.fileEvents[static_cast<std::size_t>(FileEvent::Abandoned)]);
    out.Counter("zentrada_files_undeleted_total", "Executed command files that could not be deleted.",
                status.fileEvents[static_cast<std::size_t>(FileEvent::Undeleted)]);
    out.Metric("zentrada_lines_total", "counter", "Command lines answered, by outcome.");
    for (std::size_t outcome = 0; outcome < kLineOutcomes; ++outcome)
        out.Sample("zentrada_lines_total", Count(status.lines[outcome]),
                   std::string("outcome=\"").append(kLineOutcomeNames[outcome]).append("\""));
    out.Metric("zentrada_file_duration_seconds", "histogram",
               "Seconds from a command file being ready (last written) to its last record.");
    std::uint64_t cumulative = 0;
    for (std::size_t bucket = 0; bucket < status.durations.size(); ++bucket) {
        cumulative += status.durations[bucket];
        const std::string bound = bucket < kDurationBuckets.size() ? Number(kDurationBuckets[bucket]) : "+Inf";
        out.Sample("zentrada_file_duration_seconds_bucket", Count(cumulative), "le=\"" + bound + "\"");
    }
    out.Sample("zentrada_file_duration_seconds_sum", Number(status.durationSum, 6));
    out.Sample("zentrada_file_duration_seconds_count", Count(cumulative));
    out.Gauge("zentrada_files_waiting", "Command files in the input directory not yet taken.",
              Count(status.filesWaiting));
    out.Gauge("zentrada_oldest_file_waiting_seconds",
              "Seconds since the oldest command file waiting in the input directory was last written; 0 when none "
              "waits.",
              Number(status.oldestWaitingSeconds));
    out.Gauge("zentrada_last_file_time_seconds",
              "When the last command file was answered (answered or failed); 0 before the first.",
              Number(status.lastFile));
    out.Gauge("zentrada_last_success_time_seconds",
              "When the last command file whose every line succeeded was answered; 0 before the first.",
              Number(status.lastSuccess));
    return out.Take();
}

void AgentStatus::Start(double now) {
    const std::lock_guard lock(mutex_);
    status_ = StatusSnapshot{};
    status_.startTime = now;
    status_.printerSince = now;
    Tell();
}

void AgentStatus::RunningChanged(bool running) {
    const std::lock_guard lock(mutex_);
    status_.agentRunning = running;
    Tell();
}

void AgentStatus::PrinterPolled(bool online) {
    const std::lock_guard lock(mutex_);
    if (status_.printerOnline == online) return;
    status_.printerOnline = online;
    status_.printerSince = UnixNow();
    Tell();
}

void AgentStatus::LineAnswered(LineOutcome outcome) {
    const std::lock_guard lock(mutex_);
    ++status_.lines[static_cast<std::size_t>(outcome)];
}

void AgentStatus::FileRun(bool failed, bool succeeded, double seconds) {
    const std::lock_guard lock(mutex_);
    ++(failed ? status_.filesFailed : status_.filesAnswered);
    status_.lastFile = UnixNow();
    if (succeeded) status_.lastSuccess = status_.lastFile;
    std::size_t bucket = 0;
    while (bucket < kDurationBuckets.size() && seconds > kDurationBuckets[bucket]) ++bucket;
    ++status_.durations[bucket];
    status_.durationSum += seconds;
    Tell();
}

void AgentStatus::FileHappened(FileEvent event) {
    const std::lock_guard lock(mutex_);
    ++status_.fileEvents[static_cast<std::size_t>(event)];
    Tell();
}

void AgentStatus::Waiting(std::uint64_t count, std::int64_t oldestNs) {
    const std::lock_guard lock(mutex_);
    status_.filesWaiting = count;
    status_.oldestWaitingNs = oldestNs;
}

StatusSnapshot AgentStatus::Snapshot() const {
    const std::lock_guard lock(mutex_);
    return status_;
}

bool AgentStatus::WaitForNews(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    const bool news = news_.wait_for(lock, timeout, [this] { return hasNews_; });
    hasNews_ = false;
    return news;
}

void AgentStatus::Wake() {
    const std::lock_guard lock(mutex_);
    Tell();
}

void AgentStatus::Tell() {
    hasNews_ = true;
    news_.notify_one();
}

}  // namespace zentrada::engine
