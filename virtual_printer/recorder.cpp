// Traces and answers every call into the virtual printer.
//
// TORVA_TRACE names a file that gets one line per call:
//     name|arg1|arg2|...|\n
// texts as their bytes (<null> for a null pointer), ints in decimal, a
// buffer as <out> when its first N bytes arrived zero else <out:dirty>, a
// number as <num> when it arrived 0 else <num:dirty>.
//
// TORVA_SCRIPT names a file of lines
//     name|status|out1|out2|...|
// read again at every call, so a test may rewrite it between calls. The line
// for the entry point's name applies, else a line named *, else status 0
// with the outputs untouched. outK fills the K-th buffer or number argument.
// Lines starting with # and lines without a closed field are skipped.
//
// A call that begins while another is still in progress (two hosts'
// threads at once) adds the line "!overlap|name|" to the trace.
//
// The entry points the script does not name are answered by the virtual
// printer (printer.h), unless TORVA_MODE=recorder; faults on demand
// (faults.h) come before both.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "virtual_printer/call.h"
#include "virtual_printer/faults.h"
#include "virtual_printer/printer.h"
#include "virtual_printer/printer_files.h"

namespace zentrada::virtual_printer {
namespace {

// Calls come from one thread at a time, but nothing stops a careless host
// from calling from two; this keeps their trace lines whole. Made on first
// use: std::mutex has no constant initializer with every compiler.
std::mutex& FileMutex() {
    static std::mutex mutex;
    return mutex;
}

// The file an environment variable names, or nullptr when it names none.
const char* FileFromEnvironment(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

bool AllZero(const char* bytes, int size) {
    for (int i = 0; i < size; ++i) {
        if (bytes[i] != 0) return false;
    }
    return true;
}

std::string TraceLine(const char* name, std::span<const Argument> arguments) {
    std::string line = name;
    line += '|';
    for (const Argument& argument : arguments) {
        switch (argument.kind) {
            case Argument::Kind::Text:
                line += argument.text != nullptr ? argument.text : "<null>";
                break;
            case Argument::Kind::Int:
                line += std::to_string(argument.value);
                break;
            case Argument::Kind::Buffer:
                if (argument.buffer == nullptr) {
                    line += "<null>";
                } else {
                    line += AllZero(argument.buffer, argument.size) ? "<out>" : "<out:dirty>";
                }
                break;
            case Argument::Kind::Number:
                if (argument.number == nullptr) {
                    line += "<null>";
                } else {
                    line += *argument.number == 0 ? "<num>" : "<num:dirty>";
                }
                break;
        }
        line += '|';
    }
    line += '\n';
    return line;
}

// The fields of a script line, each closed by '|'. Bytes after the last '|'
// belong to no field, which also drops the '\r' of a CRLF line.
std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (std::size_t bar = line.find('|'); bar != std::string_view::npos; bar = line.find('|', start)) {
        fields.push_back(line.substr(start, bar - start));
        start = bar + 1;
    }
    return fields;
}

// The fields of the line that answers `name`: the first line of that exact
// name, else the first line named *; empty when none does.
std::vector<std::string_view> FindAnswer(std::string_view script, std::string_view name) {
    std::vector<std::string_view> fallback;
    while (!script.empty()) {
        const std::size_t end = script.find('\n');
        const std::string_view line = script.substr(0, end);
        script.remove_prefix(end == std::string_view::npos ? script.size() : end + 1);
        if (line.empty() || line.front() == '#') continue;
        std::vector<std::string_view> fields = SplitFields(line);
        if (fields.empty()) continue;
        if (fields.front() == name) return fields;
        if (fields.front() == "*" && fallback.empty()) fallback = std::move(fields);
    }
    return fallback;
}

// A whole field read as a decimal 32-bit integer.
std::optional<std::int32_t> ParseInt(std::string_view text) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

void FillOutput(const Argument& argument, std::string_view text) {
    if (argument.kind == Argument::Kind::Buffer) {
        if (argument.buffer == nullptr || argument.size <= 0) return;
        const std::size_t length = std::min(text.size(), static_cast<std::size_t>(argument.size - 1));
        std::memcpy(argument.buffer, text.data(), length);
        argument.buffer[length] = '\0';
    } else if (argument.kind == Argument::Kind::Number) {
        if (argument.number == nullptr) return;
        if (const std::optional<std::int32_t> value = ParseInt(text)) *argument.number = *value;
    }
}

std::int32_t Answer(const std::vector<std::string_view>& fields, std::span<const Argument> arguments) {
    if (fields.size() < 2) return 0;
    std::size_t next = 2;
    for (const Argument& argument : arguments) {
        if (argument.kind != Argument::Kind::Buffer && argument.kind != Argument::Kind::Number) continue;
        if (next >= fields.size()) break;
        FillOutput(argument, fields[next++]);
    }
    return ParseInt(fields[1]).value_or(0);
}

}  // namespace

std::int32_t HandleCall(const char* name, std::span<const Argument> arguments) {
    static std::atomic<int> callsInProgress{0};
    const bool overlapped = callsInProgress.fetch_add(1) > 0;
    struct Leave {
        ~Leave() { --callsInProgress; }
    } leave;
    const std::optional<std::int32_t> fault = faults::BeforeCall(name);

    const std::lock_guard lock(FileMutex());
    // The trace shows the arguments as they arrived, before any are filled.
    if (const char* trace = FileFromEnvironment("TORVA_TRACE")) {
        if (overlapped) WriteWholeFile(trace, std::string("!overlap|") + name + "|\n", "ab");
        WriteWholeFile(trace, TraceLine(name, arguments), "ab");
    }
    if (fault) return *fault;
    // The script answers the entry points it names (or all, with "*").
    if (const char* scriptFile = FileFromEnvironment("TORVA_SCRIPT")) {
        if (const std::optional<std::string> script = ReadWholeFile(scriptFile)) {
            const std::vector<std::string_view> fields = FindAnswer(*script, name);
            if (!fields.empty()) return Answer(fields, arguments);
        }
    }
    // TORVA_MODE=recorder: no printer behind the calls, every one succeeds.
    const char* mode = std::getenv("TORVA_MODE");
    if (mode != nullptr && std::string_view(mode) == "recorder") return 0;
    return RunPrinter(name, arguments);
}

}  // namespace zentrada::virtual_printer
