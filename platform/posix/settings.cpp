// Settings files beside the executable: zentrada.conf for the agent's own
// settings, InterfaceTorva.conf for the driver library's "Log" value.
#include "platform/posix/settings.h"

#include <charconv>
#include <utility>
#include <optional>

#include "platform/platform.h"

namespace zentrada::platform {
namespace {

constexpr char kSettingsFile[] = "zentrada.conf";
constexpr char kDriverSettingsFile[] = "InterfaceTorva.conf";

std::string_view Trim(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool SameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

std::optional<std::string_view> FindValue(std::string_view text, std::string_view key) {
    std::optional<std::string_view> found;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        const auto equals = line.find('=');
        if (equals != std::string_view::npos && SameKey(Trim(line.substr(0, equals)), key))
            found = Trim(line.substr(equals + 1));
    }
    return found;
}

void ReadDirectory(std::string_view text, std::string_view key, std::string& directory) {
    const auto value = FindValue(text, key);
    if (value && !value->empty()) directory = std::string(*value);
}

// Any number other than zero is on; digits only, so a long one is no trouble.
void ReadFlag(std::string_view text, std::string_view key, bool& flag) {
    auto value = FindValue(text, key);
    if (!value) return;
    std::string_view digits = *value;
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) digits.remove_prefix(1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return;
    flag = digits.find_first_not_of('0') != std::string_view::npos;
}

// A port number, 1 to 65535; anything else leaves the channel off.
void ReadPort(std::string_view text, std::string_view key, std::uint16_t& port) {
    const auto value = FindValue(text, key);
    if (!value) return;
    unsigned number = 0;
    const char* end = value->data() + value->size();
    const auto [stop, error] = std::from_chars(value->data(), end, number);
    port = error == std::errc{} && stop == end && number <= 65535 ? static_cast<std::uint16_t>(number) : 0;
}

}  // namespace

StoredSettings ParseSettingsText(std::string_view text, StoredSettings defaults) {
    StoredSettings settings = std::move(defaults);
    ReadDirectory(text, "WorkDirectoryIn", settings.inputDirectory);
    ReadDirectory(text, "WorkDirectoryOut", settings.outputDirectory);
    ReadFlag(text, "SimgleMode", settings.simpleMode);
    ReadFlag(text, "ShowTaskMsgs", settings.showTaskMsgs);
    ReadFlag(text, "SyncRecords", settings.syncRecords);
    ReadDirectory(text, "MetricsDirectory", settings.metricsDirectory);
    ReadDirectory(text, "DataDirectory", settings.dataDirectory);
    ReadPort(text, "TcpPort", settings.tcpPort);
    ReadDirectory(text, "TcpAddress", settings.tcpAddress);
    ReadDirectory(text, "TcpToken", settings.tcpToken);
    return settings;
}

std::int32_t ParseDriverLogSetting(std::string_view text) {
    const auto value = FindValue(text, "Log");
    if (!value) return 0;
    std::int32_t level = 0;
    const char* end = value->data() + value->size();
    const auto [stop, error] = std::from_chars(value->data(), end, level);
    return error == std::errc{} && stop == end ? level : 0;
}

StoredSettings LoadSettings() {
    StoredSettings defaults;
    defaults.inputDirectory = ExecutableDirectory() + "in";
    defaults.outputDirectory = ExecutableDirectory() + "out";
    const auto text = ReadFileBytes(JoinPath(ExecutableDirectory(), kSettingsFile));
    return ParseSettingsText(text.value_or(std::string{}), std::move(defaults));
}

std::int32_t ReadDriverLogSetting() {
    const auto text = ReadFileBytes(JoinPath(ExecutableDirectory(), kDriverSettingsFile));
    return text ? ParseDriverLogSetting(*text) : 0;
}

}  // namespace zentrada::platform
