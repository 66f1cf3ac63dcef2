// The agent log beside the executable: one dated line per event, each line
// ending with the bytes 13, 13, 10. The file is opened and closed per line;
// a line that cannot be written is lost without further notice.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace zentrada::engine {

// MM/DD/YY HH:MM:SS, as the log's lines begin.
std::string FormatLogTime(const platform::LocalTime& time);

// printf-like filling of one "%s" after another, for the log's message
// patterns; a "%" in an argument stays as it is.
std::string FillPattern(std::string_view pattern, std::initializer_list<std::string_view> args);

class AgentLog {
public:
    static constexpr std::size_t kMaxMessage = 1000;

    explicit AgentLog(std::string path) : path_(std::move(path)) {}

    // "<time> - <message>", the message cut to its first 1000 bytes.
    void WriteLog(std::string_view message) const;
    // A line without a time, as the binding writes its errors.
    void WritePlainLine(std::string_view text) const;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace zentrada::engine
