#include "engine/request_answers.h"

#include "engine/intake.h"
#include "engine/response_writer.h"
#include "platform/platform.h"
#include "resources/texts.h"

namespace zentrada::engine {

std::string RequestFileName(std::string_view address, std::uint16_t port, std::uint64_t number) {
    std::string name = "TCP_";
    for (const char c : address) name += c == ':' ? '-' : c;
    return name + "_" + std::to_string(port) + "_" + std::to_string(number) + ".FPI";
}

bool SaveUndeliveredAnswers(const std::string& responsePath, const std::string& answers, bool durable,
                            const AgentLog& log) {
    const auto slash = responsePath.find_last_of("/\\");
    const std::string name = responsePath.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::string directory = responsePath.substr(0, slash == std::string::npos ? 0 : slash);
    if (ResponseFile(responsePath, false, durable).Append(answers)) {
        log.WriteLog(FillPattern(texts::kTcpAnswersSaved, {name, responsePath}));
        return true;
    }
    log.WriteLog(FillPattern(texts::kTcpAnswersNotSaved, {name, directory}));
    return false;
}

void SweepSpool(const std::string& spoolDirectory, const std::string& outputDirectory, const AgentLog& log) {
    if (spoolDirectory.empty() || !platform::CheckDirectory(spoolDirectory).present) return;
    for (const platform::FileEntry& entry : platform::ListFiles(spoolDirectory)) {
        const std::string path = platform::JoinPath(spoolDirectory, entry.name);
        if (entry.name.ends_with(".fpo") && entry.size > 0) {
            // Kept where they are when the output directory refuses them.
            const auto answers = platform::ReadFileBytes(path);
            if (answers && SaveUndeliveredAnswers(platform::JoinPath(outputDirectory, entry.name), *answers, false, log))
                platform::RemoveFile(path);
        } else if (IsCommandFileName(entry.name, false)) {
            log.WriteLog(FillPattern(texts::kTcpStoredRequestNotRun, {entry.name}));
            platform::RemoveFile(path);
        } else {
            platform::RemoveFile(path);
        }
    }
}

}  // namespace zentrada::engine
