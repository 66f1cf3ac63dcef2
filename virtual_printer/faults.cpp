// Faults on demand: the virtual printer misbehaves as the faults file and a
// few environment variables ask, so the agent's handling of a slow, stuck,
// off-line or paperless printer can be tried without one.
//
// The faults file is TORVA_FAULTS, else falhas.txt in the printer's
// directory; TORVA_FAULTS=off reads none (a benchmark's setting: calls then
// cost the agent no look at the disk). It is read again at every call; when its content or its
// modification time has changed, the settings are taken anew and the
// counts of the status lines start again. A missing file sets nothing.
// One setting per line; words are separated by spaces or tabs; keywords
// may be written in any case, entry point names exactly as exported;
// everything from # to the end of the line is a comment; blank lines,
// CR LF line ends and lines that are not one of these are ignored:
//
//     status NAME CODE [once|N|always]
//         Calls of entry point NAME (* for any) answer the status CODE
//         (a decimal number) instead of running: only the first call, the
//         first N calls (N >= 1) or every call (always, the default).
//     offline
//         The printer is off line: every entry point answers 31 (off line)
//         except TORVA_Serial_Fechar_Porta, TORVA_Obter_Mensagem_Erro,
//         TORVA_Obter_Versao_DLL and TORVA_Sys_Log.
//     port
//         TORVA_Serial_Abrir_PortaEX answers 32 (the port cannot be opened).
//     paper-out
//         Every printing entry point answers 30 (paper out): the names
//         starting with TORVA_Fiscal_, TORVA_NaoFiscal_,
//         TORVA_RelatorioFiscal_, TORVA_Cheque_, TORVA_Endosso_ and
//         TORVA_Autenticar_, and TORVA_Impressora_Cortar_Papel and
//         TORVA_Impressora_Avancar_Papel; not the queries
//         TORVA_Fiscal_Obter_SubTotal and TORVA_NaoFiscal_Obter_SubTotal.
//     delay MS
//         Every call takes MS milliseconds longer.
//     delay NAME MS
//         Calls of NAME (* for any) take MS milliseconds longer. All the
//         delays that apply to a call add up, to at most a day.
//     stuck NAME
//         A call of NAME (* for any) does not return until the line is
//         gone from the file (edit or delete it); it then runs as the file
//         says by then. The file is looked at every 50 ms meanwhile.
//
// Environment variables, read at every call, add to the file's settings:
//     TORVA_DELAY_MS=MS      as "delay MS"
//     TORVA_OFFLINE=1        as "offline"
//     TORVA_PORT_FAILURE=1   as "port"
//     TORVA_PAPER_OUT=1      as "paper-out"
//     TORVA_STATUS=NAME:CODE as "status NAME CODE always", after the file's
//                            status lines
// (any value but an empty one or 0 turns the switches on).
//
// A call first waits out its delays, then stays stuck while a stuck line
// names it, then answers the first status that applies: the status lines in
// the file's order, TORVA_STATUS, offline, port, paper-out. With none, the
// call runs.
#include "virtual_printer/faults.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "virtual_printer/printer_files.h"
#include "virtual_printer/status.h"

namespace zentrada::virtual_printer::faults {
namespace {

constexpr auto kStuckPoll = std::chrono::milliseconds(50);
// Longer delays are cut to this, so no sum overflows on its way to a sleep.
constexpr long long kLongestDelay = 24LL * 60 * 60 * 1000;

struct StatusLine {
    std::string name;  // or "*"
    std::int32_t status = 0;
    long long remaining = -1;  // calls still to answer; -1 for always
};

struct DelayLine {
    std::string name;  // or "*"
    long long milliseconds = 0;
};

struct Settings {
    std::vector<StatusLine> statuses;
    std::vector<DelayLine> delays;
    std::vector<std::string> stuck;
    bool offline = false;
    bool port = false;
    bool paperOut = false;
};

// What the settings were taken from, to tell when the file has changed.
struct Source {
    std::string path;
    std::string content;
    std::filesystem::file_time_type modified{};

    bool operator==(const Source&) const = default;
};

struct State {
    std::mutex mutex;
    Source source;
    Settings settings;
};

// Made on first use: std::mutex has no constant initializer with every
// compiler.
State& Shared() {
    static State state;
    return state;
}

bool Matches(std::string_view pattern, std::string_view name) { return pattern == "*" || pattern == name; }

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
    if (text.empty()) return std::nullopt;
    Number value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}

bool SameWord(std::string_view word, std::string_view keyword) {
    return std::equal(word.begin(), word.end(), keyword.begin(), keyword.end(), [](char a, char b) {
        return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
    });
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (true) {
        at = line.find_first_not_of(" \t\r", at);
        if (at == std::string_view::npos) break;
        const std::size_t end = std::min(line.find_first_of(" \t\r", at), line.size());
        words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

void ParseLine(std::string_view line, Settings& settings) {
    line = line.substr(0, line.find('#'));
    const std::vector<std::string_view> words = Words(line);
    if (words.empty()) return;
    const std::string_view keyword = words[0];
    if (SameWord(keyword, "status") && (words.size() == 3 || words.size() == 4)) {
        const auto status = ParseNumber<std::int32_t>(words[2]);
        if (!status) return;
        long long remaining = -1;
        if (words.size() == 4) {
            if (SameWord(words[3], "once")) remaining = 1;
            else if (!SameWord(words[3], "always")) {
                const auto count = ParseNumber<long long>(words[3]);
                if (!count || *count < 1) return;
                remaining = *count;
            }
        }
        settings.statuses.push_back({std::string(words[1]), *status, remaining});
    } else if (SameWord(keyword, "delay") && (words.size() == 2 || words.size() == 3)) {
        const auto milliseconds = ParseNumber<long long>(words.back());
        if (!milliseconds || *milliseconds < 0) return;
        settings.delays.push_back({words.size() == 3 ? std::string(words[1]) : "*", *milliseconds});
    } else if (SameWord(keyword, "stuck") && words.size() == 2) {
        settings.stuck.emplace_back(words[1]);
    } else if (words.size() == 1) {
        if (SameWord(keyword, "offline")) settings.offline = true;
        else if (SameWord(keyword, "port")) settings.port = true;
        else if (SameWord(keyword, "paper-out")) settings.paperOut = true;
    }
}

Settings Parse(std::string_view content) {
    Settings settings;
    while (!content.empty()) {
        const std::size_t end = std::min(content.find('\n'), content.size());
        ParseLine(content.substr(0, end), settings);
        content.remove_prefix(std::min(end + 1, content.size()));
    }
    return settings;
}

// Takes the settings anew, and starts the counts again, when the file is
// another one or has changed. The caller holds the mutex.
void Refresh(State& state) {
    Source now;
    now.path = FaultsFilePath();
    std::error_code missing;
    if (now.path.empty()) missing = std::make_error_code(std::errc::no_such_file_or_directory);
    else now.modified = std::filesystem::last_write_time(now.path, missing);
    // A file not there has nothing to read: one look per call is enough.
    if (!missing) now.content = ReadWholeFile(now.path).value_or("");
    if (now == state.source) return;
    state.settings = Parse(now.content);
    state.source = std::move(now);
}

const char* Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

bool Switch(const char* name) {
    const char* value = Environment(name);
    return value != nullptr && std::string_view(value) != "0";
}

long long DelayOf(const Settings& settings, std::string_view name) {
    long long total = 0;
    for (const DelayLine& delay : settings.delays)
        if (Matches(delay.name, name)) total += std::min(delay.milliseconds, kLongestDelay);
    if (const char* value = Environment("TORVA_DELAY_MS"))
        total += std::clamp(ParseNumber<long long>(value).value_or(0), 0LL, kLongestDelay);
    return std::min(total, kLongestDelay);
}

bool IsStuck(const Settings& settings, std::string_view name) {
    return std::any_of(settings.stuck.begin(), settings.stuck.end(),
                       [&](const std::string& pattern) { return Matches(pattern, name); });
}

bool AnswersWhenOffline(std::string_view name) {
    return name == "TORVA_Serial_Fechar_Porta" || name == "TORVA_Obter_Mensagem_Erro" ||
           name == "TORVA_Obter_Versao_DLL" || name == "TORVA_Sys_Log";
}

bool Prints(std::string_view name) {
    if (name == "TORVA_Fiscal_Obter_SubTotal" || name == "TORVA_NaoFiscal_Obter_SubTotal") return false;
    if (name == "TORVA_Impressora_Cortar_Papel" || name == "TORVA_Impressora_Avancar_Papel") return true;
    constexpr std::string_view kPrefixes[] = {"TORVA_Fiscal_",  "TORVA_NaoFiscal_", "TORVA_RelatorioFiscal_",
                                              "TORVA_Cheque_",  "TORVA_Endosso_",   "TORVA_Autenticar_"};
    return std::any_of(std::begin(kPrefixes), std::end(kPrefixes),
                       [&](std::string_view prefix) { return name.starts_with(prefix); });
}

// The status TORVA_STATUS=NAME:CODE gives the call, if any.
std::optional<std::int32_t> EnvironmentStatus(std::string_view name) {
    const char* value = Environment("TORVA_STATUS");
    if (value == nullptr) return std::nullopt;
    const std::string_view setting = value;
    const std::size_t colon = setting.rfind(':');
    if (colon == std::string_view::npos || !Matches(setting.substr(0, colon), name))
        return std::nullopt;
    return ParseNumber<std::int32_t>(setting.substr(colon + 1));
}

// The status that answers the call instead of it, spending one call of a
// counted status line. The caller holds the mutex.
std::optional<std::int32_t> Decide(Settings& settings, std::string_view name) {
    for (StatusLine& line : settings.statuses) {
        if (line.remaining == 0 || !Matches(line.name, name)) continue;
        if (line.remaining > 0) --line.remaining;
        return line.status;
    }
    if (const auto status = EnvironmentStatus(name)) return status;
    if ((settings.offline || Switch("TORVA_OFFLINE")) && !AnswersWhenOffline(name)) return kOffline;
    if ((settings.port || Switch("TORVA_PORT_FAILURE")) && name == "TORVA_Serial_Abrir_PortaEX") return kPortFailure;
    if ((settings.paperOut || Switch("TORVA_PAPER_OUT")) && Prints(name)) return kPaperOut;
    return std::nullopt;
}

}  // namespace

std::optional<std::int32_t> BeforeCall(std::string_view name) {
    State& state = Shared();
    long long delay = 0;
    {
        const std::lock_guard lock(state.mutex);
        Refresh(state);
        delay = DelayOf(state.settings, name);
        if (delay == 0 && !IsStuck(state.settings, name)) return Decide(state.settings, name);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    while (true) {
        {
            const std::lock_guard lock(state.mutex);
            Refresh(state);
            if (!IsStuck(state.settings, name)) return Decide(state.settings, name);
        }
        std::this_thread::sleep_for(kStuckPoll);
    }
}

}  // namespace zentrada::virtual_printer::faults
