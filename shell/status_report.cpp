#include "shell/status_report.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "engine/agent_log.h"
#include "engine/agent_status.h"
#include "platform/platform.h"
#include "resources/texts.h"
#include "shell/agent_files.h"
#include "shell/exit_status.h"
#include "platform/settings_store.h"

namespace zentrada::shell {
namespace {

std::string Time(double unixSeconds) {
    if (unixSeconds <= 0) return texts::kStatusNone;
    const platform::LocalTime t = platform::UnixTimeToLocal(static_cast<std::int64_t>(unixSeconds));
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute,
                  t.second);
    return text;
}

// "42 s", "3 min 5 s", "2 h 10 min", "4 d 3 h".
std::string Span(double seconds) {
    const auto whole = static_cast<long long>(std::max(0.0, seconds));
    const auto part = [](long long value, const char* unit) { return std::to_string(value) + " " + unit; };
    if (whole < 60) return part(whole, "s");
    if (whole < 3600) return part(whole / 60, "min") + " " + part(whole % 60, "s");
    if (whole < 86400) return part(whole / 3600, "h") + " " + part(whole / 60 % 60, "min");
    return part(whole / 86400, "d") + " " + part(whole / 3600 % 24, "h");
}

}  // namespace

std::map<std::string, double, std::less<>> ParseStatusSamples(std::string_view text) {
    std::map<std::string, double, std::less<>> samples;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        const std::size_t space = line.rfind(' ');
        if (line.empty() || line.front() == '#' || space == std::string_view::npos) continue;
        double value = 0;
        const std::string_view number = line.substr(space + 1);
        const auto [stop, error] = std::from_chars(number.data(), number.data() + number.size(), value);
        if (error == std::errc{} && stop == number.data() + number.size())
            samples.emplace(std::string(line.substr(0, space)), value);
    }
    return samples;
}

StatusReport ReportStatus(const std::string* text, const std::string& path, double now) {
    using engine::FillPattern;
    const auto samples = text != nullptr ? ParseStatusSamples(*text) : decltype(ParseStatusSamples("")){};
    const auto value = [&samples](std::string_view name) {
        const auto found = samples.find(name);
        return found != samples.end() ? found->second : 0.0;
    };
    const auto count = [&value](std::string_view name) {
        return std::to_string(static_cast<unsigned long long>(value(name)));
    };
    const auto written = samples.find("zentrada_status_time_seconds");
    if (written == samples.end()) return {FillPattern(texts::kStatusMissing, {path}) + "\n", kStatusNotRunning};

    StatusReport report;
    std::string agent;
    if (now - written->second > kStaleAfterSeconds) {
        agent = FillPattern(texts::kStatusStale, {Span(now - written->second), Time(written->second)});
        report.exitStatus = kStatusNotRunning;
    } else if (value("zentrada_agent_running") != 1) {
        agent = FillPattern(texts::kStatusStopped, {Time(written->second)});
        report.exitStatus = kStatusNotRunning;
    } else {
        std::string program = "zentrada", version;
        for (const auto& sample : samples) {
            // zentrada_build_info{version="<version>",program="zentrada",arch="x86_64"}
            const auto& name = sample.first;
            if (!name.starts_with("zentrada_build_info{")) continue;
            const auto label = [&name](std::string_view key) {
                const std::size_t start = name.find(std::string(key) + "=\"");
                if (start == std::string::npos) return std::string();
                const std::size_t from = start + key.size() + 2;
                return name.substr(from, name.find('"', from) - from);
            };
            program = label("program");
            version = label("version");
        }
        agent = FillPattern(texts::kStatusRunning, {Time(value("zentrada_start_time_seconds")), program, version});
        report.exitStatus = value("zentrada_printer_online") == 1 ? kStatusPrinterOnline : kStatusPrinterOffline;
    }
    report.text = agent + "\n";
    report.text += FillPattern(value("zentrada_printer_online") == 1 ? texts::kStatusPrinterOnline
                                                                     : texts::kStatusPrinterOffline,
                               {Time(value("zentrada_printer_state_change_time_seconds"))}) +
                   "\n";
    report.text += FillPattern(texts::kStatusLastFiles, {Time(value("zentrada_last_file_time_seconds")),
                                                         Time(value("zentrada_last_success_time_seconds"))}) +
                   "\n";
    report.text += FillPattern(texts::kStatusCounts,
                               {count("zentrada_files_answered_total"), count("zentrada_files_failed_total"),
                                count("zentrada_files_interrupted_total"), count("zentrada_files_abandoned_total"),
                                count("zentrada_files_undeleted_total"), count("zentrada_files_waiting")}) +
                   "\n";
    return report;
}

int ShowStatus() {
    const std::string path =
        platform::JoinPath(DataDirectory(platform::LoadSettings()), StatusFileName(platform::ExecutableBaseName()));
    const std::optional<std::string> text = platform::ReadFileBytes(path);
    const StatusReport report = ReportStatus(text ? &*text : nullptr, path, engine::UnixNow());
    platform::WriteTerminalText(platform::OutputStream::Output, report.text);
    return report.exitStatus;
}

}  // namespace zentrada::shell
