#include "engine/journal.h"

#include <charconv>

#include "resources/texts.h"

namespace zentrada::engine {
namespace {

constexpr std::string_view kJournalTitle = "ZENTRADA EM EXECUCAO 1";
// How far requests' entries may follow one another before the journal is
// emptied again.
constexpr std::uint64_t kFollowBound = 1u << 20;

// Names may hold any byte, line feeds included, so they are counted.
std::string CountedEntry(std::string_view key, std::string_view value) {
    return std::string(key) + " " + std::to_string(value.size()) + " " + std::string(value) + "\n";
}

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Reads the entries of a journal text one after another.
class EntryCursor {
public:
    explicit EntryCursor(std::string_view text) : text_(text) {}

    // "<key> <value>" up to the next line feed.
    std::optional<std::string_view> Plain(std::string_view key) {
        const auto end = text_.find('\n');
        if (end == std::string_view::npos) return std::nullopt;
        const std::string_view entry = text_.substr(0, end);
        if (entry.substr(0, key.size()) != key || (entry.size() > key.size() && entry[key.size()] != ' '))
            return std::nullopt;
        text_.remove_prefix(end + 1);
        return entry.size() == key.size() ? std::string_view{} : entry.substr(key.size() + 1);
    }
    // "<key> <length> <bytes>" and its line feed.
    std::optional<std::string> Counted(std::string_view key) {
        if (text_.substr(0, key.size() + 1) != std::string(key) + " ") return std::nullopt;
        const std::string_view rest = text_.substr(key.size() + 1);
        const auto blank = rest.find(' ');
        if (blank == std::string_view::npos) return std::nullopt;
        const auto length = ParseNumber<std::size_t>(rest.substr(0, blank));
        if (!length || rest.size() < blank + 1 + *length + 1 || rest[blank + 1 + *length] != '\n') return std::nullopt;
        std::string value(rest.substr(blank + 1, *length));
        text_.remove_prefix(key.size() + 1 + blank + 1 + *length + 1);
        return value;
    }

private:
    std::string_view text_;
};

}  // namespace

std::string JournalHeader(const JournalState& state) {
    return std::string(kJournalTitle) + "\n" + CountedEntry("pasta", state.directory) +
           CountedEntry("arquivo", state.name) + CountedEntry("resposta", state.responsePath) + "tamanho " +
           std::to_string(state.size) + "\ngravacao " + std::to_string(state.lastWriteNs) + "\n" +
           (state.simplified ? "simplificado\n" : "") +
           (state.previousResponse ? "anterior " + std::to_string(state.previousResponse->size) + " " +
                                         std::to_string(state.previousResponse->lastWriteNs) + "\n"
                                   : "") +
           (state.request ? CountedEntry("pedido", *state.request) : "");
}

std::string RecordEntry(std::string_view record) { return CountedEntry("registro", record); }

namespace {

// One file's entries, from its header on.
std::optional<JournalState> ParseSection(EntryCursor& cursor) {
    JournalState state;
    auto directory = cursor.Plain(kJournalTitle) ? cursor.Counted("pasta") : std::nullopt;
    auto name = directory ? cursor.Counted("arquivo") : std::nullopt;
    auto response = name ? cursor.Counted("resposta") : std::nullopt;
    const auto size = response ? cursor.Plain("tamanho") : std::nullopt;
    const auto written = size ? cursor.Plain("gravacao") : std::nullopt;
    if (!written) return std::nullopt;
    const auto sizeValue = ParseNumber<std::uint64_t>(*size);
    const auto writtenValue = ParseNumber<std::int64_t>(*written);
    if (!sizeValue || !writtenValue) return std::nullopt;
    state.directory = std::move(*directory);
    state.name = std::move(*name);
    state.responsePath = std::move(*response);
    state.size = *sizeValue;
    state.lastWriteNs = *writtenValue;
    state.simplified = cursor.Plain("simplificado").has_value();
    if (const auto previous = cursor.Plain("anterior")) {
        const auto blank = previous->find(' ');
        const auto size = ParseNumber<std::uint64_t>(previous->substr(0, blank));
        const auto written = blank == std::string_view::npos
                                 ? std::nullopt
                                 : ParseNumber<std::int64_t>(previous->substr(blank + 1));
        if (!size || !written) return std::nullopt;
        state.previousResponse = JournalState::Previous{*size, *written};
    }
    if (auto request = cursor.Counted("pedido")) state.request = std::move(*request);
    for (;;) {
        if (const auto line = cursor.Plain("linha")) {
            if (const auto number = ParseNumber<std::int32_t>(*line)) state.lastLine = *number;
        } else if (auto record = cursor.Counted("registro")) {
            state.records += *record;
        } else if (cursor.Plain("fim")) {
            state.finished = true;
        } else if (cursor.Plain("entregue")) {
            state.delivered = true;
        } else {
            return state;
        }
    }
}

}  // namespace

std::optional<JournalState> ParseJournal(std::string_view text) {
    // Requests are journaled one after another: the last whole header is
    // the one in hand.
    EntryCursor cursor(text);
    std::optional<JournalState> last;
    while (auto state = ParseSection(cursor)) last = std::move(state);
    return last;
}

Journal::Journal(std::string path, bool durable, const AgentLog& log)
    : path_(std::move(path)), durable_(durable), log_(log) {}

void Journal::Begin(const JournalState& file) {
    if (path_.empty()) return;
    failed_ = false;
    forced_ = false;
    unwritten_.clear();
    request_ = file.request.has_value();
    // A request's entries follow the last ones: the journal holds nothing
    // needed any more (what is behind a header is done with), and a file
    // that only grows costs a forced write no block allocation. A command
    // file, or a journal grown past its bound, starts it afresh: emptied
    // through its name while kept open, as a file opened to be emptied and
    // closed again is flushed by some file systems at the close.
    const bool follow = request_ && file_.IsOpen() && size_ < kFollowBound;
    if (!follow && (!file_.IsOpen() || !platform::TruncateFile(path_, 0, false))) {
        const bool existed = platform::FileExists(path_);
        if (!file_.Open(path_)) {
            failed_ = true;
            log_.WriteLog(FillPattern(texts::kJournalNotWritten, {path_}));
            return;
        }
        if (durable_ && !existed) platform::SyncDirectoryOf(path_);
    }
    if (!follow) size_ = 0;
    // Written with the first entry: nothing of the file is sent or answered
    // before it.
    unwritten_ = JournalHeader(file);
}

void Journal::Record(std::string_view record) {
    unwritten_ += RecordEntry(record);
    if (request_) Append("", false);
}

void Journal::Sending(std::int32_t line) { Append("linha " + std::to_string(line) + "\n", true); }

void Journal::Force() {
    if (!unwritten_.empty() || !forced_) Append("", true);
}

void Journal::Finished(bool delivered) { Append(delivered ? "fim\nentregue\n" : "fim\n", true); }

bool Journal::Clear(const std::string& path, bool durable) {
    return path.empty() || platform::WriteFileBytes(path, "", true, durable);
}

bool Journal::Append(std::string_view entry, bool force) {
    if (path_.empty() || failed_) return false;
    std::string bytes = std::move(unwritten_);
    unwritten_.clear();
    bytes += entry;
    const bool durable = force && durable_;
    if (file_.Append(bytes, durable)) {
        size_ += bytes.size();
        forced_ = forced_ || durable;
        return true;
    }
    // The file runs all the same: a point of sale waits for its answer. Only
    // a crash during it would go unnoticed at the next start.
    failed_ = true;
    log_.WriteLog(FillPattern(texts::kJournalNotWritten, {path_}));
    return false;
}

}  // namespace zentrada::engine
