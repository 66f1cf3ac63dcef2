#include "engine/response_writer.h"

#include <charconv>

#include "commands/conversions.h"
#include "engine/journal.h"
#include "engine/record_bytes.h"
#include "platform/platform.h"
#include "resources/texts.h"

namespace zentrada::engine {

std::string ResponseFileName(const std::string& baseName, const std::string& stamp, bool simpleMode) {
    return simpleMode ? baseName + ".fpo" : baseName + "_" + stamp + ".fpo";
}

std::string FormatRecord(std::int32_t lineNumber, const std::vector<std::string>& fields) {
    std::string record = "Line " + std::to_string(lineNumber) + ": ";
    bool blank = false;
    for (const std::string& field : fields) {
        // Fields are C texts to the readers of this file: a NUL ends one.
        if (!blank) record += field.substr(0, field.find('\0'));
        record += '|';
        if (&field == &fields.front()) blank = commands::ParseDecimal(field) == 1;
    }
    record += kRecordEnd;
    return record;
}

std::string_view WholeRecords(std::string_view response) {
    const auto end = response.rfind(kRecordEnd);
    return end == std::string_view::npos ? std::string_view{} : response.substr(0, end + sizeof kRecordEnd - 1);
}

std::vector<std::string_view> SplitRecords(std::string_view records) {
    std::vector<std::string_view> list;
    constexpr std::size_t kEndSize = sizeof kRecordEnd - 1;
    for (std::size_t start = 0, end; (end = records.find(kRecordEnd, start)) != std::string_view::npos;
         start = end + kEndSize)
        list.push_back(records.substr(start, end + kEndSize - start));
    return list;
}

std::optional<std::int32_t> RecordLine(std::string_view record) {
    constexpr std::string_view kPrefix = "Line ";
    if (!record.starts_with(kPrefix)) return std::nullopt;
    record.remove_prefix(kPrefix.size());
    std::int32_t line = 0;
    const auto [end, error] = std::from_chars(record.data(), record.data() + record.size(), line);
    if (error != std::errc{} || end == record.data() + record.size() || *end != ':') return std::nullopt;
    return line;
}

std::string_view RecordStatus(std::string_view record) {
    const auto start = record.find(": ");
    if (start == std::string_view::npos) return {};
    record.remove_prefix(start + 2);
    return record.substr(0, record.find('|'));
}

ResponseFile::ResponseFile(std::string path, bool reusedName, bool durable, bool named, std::uint64_t pendingBytes)
    : path_(std::move(path)), reusedName_(reusedName), durable_(durable), named_(named), pendingBytes_(pendingBytes) {}

void ResponseFile::RemoveEmptyPending(const std::string& directory) {
    for (const platform::FileEntry& entry : platform::ListFiles(directory))
        if (entry.size == 0 && entry.name.ends_with(".fpo.tmp")) platform::RemoveFile(platform::JoinPath(directory, entry.name));
}

bool ResponseFile::NameFree() const { return reusedName_ || !platform::FileExists(path_); }

bool ResponseFile::CreatePending() {
    // Written under its name from the start: no pending file to make.
    if (named_ || holding_) return true;
    pendingBytes_ = 0;
    return platform::WriteFileBytes(PendingPath(path_), "", true);
}

bool ResponseFile::Append(std::string_view records) {
    if (holding_) {
        held_ += records;
        return true;
    }
    // Records left in the pending file take the name even with none to add.
    if (records.empty() && (named_ || pendingBytes_ == 0)) return true;
    if (named_) return platform::WriteFileBytes(path_, records, false, durable_);
    const std::string pending = PendingPath(path_);
    if (!platform::WriteFileBytes(pending, records, false, durable_)) return false;
    const bool moved = reusedName_ ? platform::MoveFileReplacing(pending, path_) : platform::MoveFileNoReplace(pending, path_);
    if (!moved) {
        // The caller keeps these records elsewhere; they must not stay here too.
        platform::TruncateFile(pending, pendingBytes_, durable_);
        return false;
    }
    if (durable_) platform::SyncDirectoryOf(path_);
    named_ = true;
    pendingBytes_ = 0;
    return true;
}

void ResponseFile::Sync() {
    if (!named_) return;
    platform::WriteFileBytes(path_, "", false, true);
    platform::SyncDirectoryOf(path_);
}

void ResponseFile::Discard() {
    if (holding_) held_.clear();
    else if (!named_) platform::RemoveFile(PendingPath(path_));
}

ResponseWriter::ResponseWriter(ResponseFile& file, const AgentLog& log, Journal* journal)
    : file_(file), log_(log), journal_(journal) {}

void ResponseWriter::WriteResponse(const std::vector<std::string>& fields) {
    const std::string record = FormatRecord(line_, fields);
    if (journal_ != nullptr) {
        // The journal names the file on disk before its first record can
        // reach the response (when a line was sent, that is done already).
        if (!written_ && !failed_) journal_->Force();
        journal_->Record(record);
    }
    // Once one record missed the file, the later ones follow it from the
    // journal, in order.
    if (!failed_ && file_.Append(record)) {
        written_ = true;
        if (copy_) copy_(record);
        return;
    }
    if (!failed_) log_.WriteLog(FillPattern(texts::kResponseNotWritten, {file_.Path()}));
    failed_ = true;
}

}  // namespace zentrada::engine
