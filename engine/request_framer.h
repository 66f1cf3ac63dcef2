// The TCP channel's framing: the bytes a client sends cut into requests.
// A request is the text of a command file up to and including its end
// marker line: a line that is "." alone (blanks after it allowed; CR LF or
// LF). Nothing is a request before that line has arrived whole. Between
// requests, the line "?" asks for the agent's status; the first line of a
// connection may be "#TOKEN <token>". Every line and every request is
// bounded: past a bound nothing more is framed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zentrada::engine {

// The lines that frame the answers: after a request's records, kAnswerEnd
// and their count; a refusal, kAnswerError and its reason. Neither can start
// a record ("Line <n>: ").
inline constexpr std::string_view kAnswerEnd = "#FIM ";
inline constexpr std::string_view kAnswerError = "#ERRO ";
inline constexpr std::string_view kTokenLine = "#TOKEN ";

struct FramingLimits {
    std::size_t maxRequestBytes = 1 << 20;
    std::size_t maxLineBytes = 64 * 1024;
};

class RequestFramer {
public:
    explicit RequestFramer(FramingLimits limits = {}) : limits_(limits) {}

    enum class Kind {
        Request,      // text: the request's bytes as sent, marker line included
        Status,       // "?"
        Token,        // text: what follows "#TOKEN " on the first line
        Oversized,    // the request passed maxRequestBytes
        LineTooLong,  // a line passed maxLineBytes
        CutByCtrlZ,   // a Ctrl-Z ends the text before its marker, as in a file
    };
    struct Item {
        Kind kind;
        std::string text;
    };

    // Takes the bytes as they arrive; what they complete goes to `items`.
    // After an Oversized, LineTooLong or CutByCtrlZ item nothing more is
    // framed.
    void Feed(std::string_view bytes, std::vector<Item>& items);

    // Part of a request (or of a line) has arrived and not its end.
    bool Midway() const { return !request_.empty() || !line_.empty(); }
    // At least one whole line has arrived.
    bool SawLine() const { return sawLine_; }
    bool Broken() const { return broken_; }

private:
    void EndLine(std::vector<Item>& items);

    FramingLimits limits_;
    std::string request_;  // the whole lines of the request so far
    std::string line_;     // the line arriving, without its line feed
    bool sawLine_ = false;
    bool broken_ = false;
};

// Whether a line (without its line feed) ends a request: "." and blanks,
// with the CR of a CR LF.
bool IsRequestEndLine(std::string_view line);

}  // namespace zentrada::engine
