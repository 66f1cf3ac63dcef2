#include "engine/agent_log.h"

#include <cstdio>

#include "engine/record_bytes.h"

namespace zentrada::engine {

std::string FormatLogTime(const platform::LocalTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d:%02d", t.month, t.day, t.year % 100, t.hour,
                  t.minute, t.second);
    return text;
}

std::string FillPattern(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    auto next = args.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern.compare(i, 2, "%s") == 0 && next != args.end()) {
            out += *next++;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

void AgentLog::WriteLog(std::string_view message) const {
    std::string line = FormatLogTime(platform::Now());
    line += " - ";
    message = message.substr(0, message.find('\0'));
    line += message.substr(0, kMaxMessage);
    line += kRecordEnd;
    platform::WriteFileBytes(path_, line, false);
}

void AgentLog::WritePlainLine(std::string_view text) const {
    std::string line(text);
    line += kRecordEnd;
    platform::WriteFileBytes(path_, line, false);
}

}  // namespace zentrada::engine
