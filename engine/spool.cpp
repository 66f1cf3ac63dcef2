#include "engine/spool.h"

#include <algorithm>

#include "engine/executed_files.h"
#include "engine/intake.h"
#include "engine/request_framer.h"
#include "engine/response_writer.h"
#include "engine/text_file.h"
#include "resources/texts.h"

namespace zentrada::engine {

std::string RequestFileName(std::string_view address, std::uint16_t port, std::uint64_t number) {
    std::string name = "TCP_";
    for (const char c : address) name += c == ':' ? '-' : c;
    return name + "_" + std::to_string(port) + "_" + std::to_string(number) + ".FPI";
}

bool IsWholeRequest(std::string_view bytes) {
    if (!bytes.ends_with('\n') || !HasEndMarker(FoldTextMode(bytes))) return false;
    const std::string_view lines = bytes.substr(0, bytes.size() - 1);
    const auto start = lines.rfind('\n');
    return IsRequestEndLine(lines.substr(start == std::string_view::npos ? 0 : start + 1));
}

void KeepUndeliveredAnswers(const std::string& responsePath, const std::string& outputDirectory, const AgentLog& log) {
    const auto slash = responsePath.find_last_of("/\\");
    const std::string name = responsePath.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::string target = platform::JoinPath(outputDirectory, name);
    if (platform::MoveFileNoReplace(responsePath, target)) {
        log.WriteLog(FillPattern(texts::kTcpAnswersSaved, {name, target}));
    } else {
        log.WriteLog(FillPattern(texts::kTcpAnswersNotSaved, {name, outputDirectory}));
    }
}

std::vector<Request> SweepSpool(const std::string& spoolDirectory, const std::string& outputDirectory,
                                const SharedState& shared, const AgentLog& log) {
    std::vector<Request> requests;
    if (spoolDirectory.empty()) return requests;
    ResponseFile::RemoveEmptyPending(spoolDirectory);
    std::vector<platform::FileEntry> entries = platform::ListFiles(spoolDirectory);
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return std::tie(a.lastWriteNs, a.name) < std::tie(b.lastWriteNs, b.name);
    });
    for (platform::FileEntry& entry : entries) {
        const std::string path = platform::JoinPath(spoolDirectory, entry.name);
        if (entry.name.ends_with(".fpo")) {
            // Answers are never empty: a crash left this one before its first record.
            if (entry.size == 0) platform::RemoveFile(path);
            else KeepUndeliveredAnswers(path, outputDirectory, log);
        } else if (IsCommandFileName(entry.name, false) && !shared.IsUndeletedFile(IdentityOf(spoolDirectory, entry))) {
            const auto bytes = platform::ReadFileBytes(path);
            if (!bytes) continue;
            if (!IsWholeRequest(*bytes)) {
                platform::RemoveFile(path);
                continue;
            }
            requests.push_back(Request{spoolDirectory, std::move(entry), FoldTextMode(*bytes), nullptr});
        }
    }
    return requests;
}

}  // namespace zentrada::engine
