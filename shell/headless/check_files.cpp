#include "shell/headless/check_files.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "commands/ascii.h"
#include "commands/catalogue.h"
#include "commands/command_row.h"
#include "commands/frame.h"
#include "commands/reference.h"
#include "engine/agent_log.h"
#include "engine/intake.h"
#include "engine/reader.h"
#include "engine/record_bytes.h"
#include "engine/response_writer.h"
#include "engine/text_file.h"
#include "platform/platform.h"
#include "resources/texts.h"
#include "shell/exit_status.h"

namespace zentrada::shell {
namespace {

using engine::FileLine;
using engine::FillPattern;
using engine::LineKind;

#if defined(_WIN32)
constexpr char kPathSeparators[] = "\\/:";
#else
constexpr char kPathSeparators[] = "/";
#endif

// A file as the agent reads it, with what the checking pass answers for each
// command line (-1: a wrong count) and the verdicts, both by line index.
struct JudgedFile {
    engine::CommandFile file;
    std::vector<std::int32_t> checked;
    std::vector<std::optional<LineVerdict>> verdicts;  // none for lines other than commands
};

// The worker's two passes as the engine's pass rule runs them, every line
// sent being answered 0 by the driver unless the checking pass finds its
// count wrong.
JudgedFile Judge(std::string_view text) {
    JudgedFile judged{engine::ReadCommandFile(text), {}, {}};
    const engine::CommandFile& file = judged.file;
    judged.checked.resize(file.lines.size(), -1);
    judged.verdicts.resize(file.lines.size());
    for (std::size_t i = 0; i < file.lines.size(); ++i)
        if (file.lines[i].kind == LineKind::Command) judged.checked[i] = engine::CheckingAnswer(file.lines[i]);

    // Lines are numbered from 1, every physical piece counted.
    const auto index = [](const FileLine& line) { return static_cast<std::size_t>(line.number - 1); };
    const auto set = [&judged, &index](const FileLine& line, Verdict verdict) -> LineVerdict& {
        return judged.verdicts[index(line)].emplace(LineVerdict{line.number, verdict});
    };
    const auto answer = [&set](const FileLine& line, engine::AgentRecord record) {
        set(line, Verdict::Answers).record = record;
    };
    // The command lines neither pass judged: end markers, and every other line
    // once /PRE has rejected the file or the execution has ended.
    const auto judgeRest = [&](bool rejected, std::int32_t endLine) {
        for (const FileLine& line : file.lines) {
            if (line.kind != LineKind::Command || judged.verdicts[index(line)]) continue;
            if (line.Code() == commands::kEndMarkerCode) set(line, Verdict::EndMarker);
            else if (rejected) set(line, Verdict::RejectedByPre);
            else if (line.number == endLine) set(line, Verdict::EndsExecution);
            else set(line, Verdict::NotReached).endLine = endLine;
        }
    };

    if (file.options.checkOnly && engine::CheckingPassRejects(text, answer)) {
        judgeRest(true, 0);
        return judged;
    }
    engine::ExecutionPass pass(text, answer);
    while (const FileLine* line = pass.Next()) {
        set(*line, Verdict::CallsDriver);
        pass.Sent(judged.checked[index(*line)] == -1 ? -1 : 0);
    }
    judgeRest(false, pass.EndLine());
    return judged;
}

// A line such as ". fim": past the end of the execution it would have run
// nothing, so it is not counted among the lines not run.
bool EndsExecution(const FileLine& line) {
    return line.entry == nullptr && engine::EndsExecutionPass(line.command.name);
}

std::string Quoted(std::string_view text) {
    std::string quoted(1, '"');
    quoted.append(text).push_back('"');
    return quoted;
}

std::string CatalogueName(const FileLine& line) {
    return line.entry != nullptr ? std::string(line.entry->name) : Quoted(line.command.name);
}

// `checked` is the checking pass's answer for the line.
std::string CountLabel(const FileLine& line, std::int32_t checked, const commands::CommandRow* row) {
    const int count = line.command.ParamCount();
    const std::string given =
        count == 1 ? std::string(texts::kCheckOneParameter) : FillPattern(texts::kCheckParameters, {std::to_string(count)});
    if (checked != -1 || line.entry == nullptr) return given;
    if (row == nullptr || row->rule == commands::RowRule::NeverExecuted)
        return FillPattern(texts::kCheckNeverExecuted, {given});
    return FillPattern(texts::kCheckExpected, {given, std::to_string(row->parameterCount)});
}

std::string VerdictText(const FileLine& line, const LineVerdict& verdict) {
    switch (verdict.verdict) {
        case Verdict::CallsDriver: return texts::kCheckCallsDriver;
        case Verdict::EndMarker: return FillPattern(texts::kCheckEndMarker, {Quoted(line.command.name)});
        case Verdict::EndsExecution: return FillPattern(texts::kCheckEndsExecution, {Quoted(line.command.name)});
        case Verdict::Answers: {
            std::string record = engine::FormatRecord(line.number, engine::AgentRecordFields(verdict.record));
            record.resize(record.size() - (sizeof engine::kRecordEnd - 1));
            return FillPattern(texts::kCheckAnswers, {record});
        }
        case Verdict::NotReached: return FillPattern(texts::kCheckNotReached, {std::to_string(verdict.endLine)});
        case Verdict::RejectedByPre: return texts::kCheckRejectedByPre;
    }
    return {};
}

// One line per parameter with the kind the row gives it and, for numbers,
// the value the driver would be passed; then the outputs of the record.
std::string ParameterLines(const FileLine& line, const commands::CommandRow* row) {
    const std::vector<std::string>& params = line.command.params;
    std::string text;
    if (row == nullptr) {
        for (std::size_t i = 0; i < params.size(); ++i)
            text += FillPattern(texts::kCheckUncataloguedParameter, {std::to_string(i + 1), Quoted(params[i])}) + "\n";
        return text;
    }
    std::vector<commands::KindSpec> kinds;
    std::string outputs;
    for (int i = 0; i < row->kindCount; ++i) {
        const commands::KindSpec kind = row->kinds[i];
        if (commands::IsParameter(kind.id)) kinds.push_back(kind);
        else outputs += (outputs.empty() ? "" : ", ") + commands::KindName(kind);
    }
    for (std::size_t i = 0; i < std::max(params.size(), kinds.size()); ++i) {
        const bool known = i < kinds.size();
        std::string value = texts::kCheckMissingParameter;
        if (i < params.size()) {
            value = Quoted(params[i]);
            if (known && kinds[i].id != commands::KindId::Text)
                value += " = " + std::to_string(commands::ParameterValue(kinds[i].id, params[i]));
        }
        text += FillPattern(texts::kCheckParameter,
                            {std::to_string(i + 1), known ? commands::KindName(kinds[i]) : texts::kCheckExtraParameter,
                             value}) +
                "\n";
    }
    if (!outputs.empty()) text += FillPattern(texts::kCheckOutputs, {outputs}) + "\n";
    return text;
}

// `verdict` and `checked` are those of a command line.
std::string LineReport(const FileLine& line, const std::optional<LineVerdict>& verdict, std::int32_t checked) {
    std::string what, details;
    switch (line.kind) {
        case LineKind::Option: what = FillPattern(texts::kCheckOptionLine, {line.text}); break;
        case LineKind::OptionOutsideBlock: what = FillPattern(texts::kCheckOptionOutsideBlock, {line.text}); break;
        case LineKind::Comment: what = FillPattern(texts::kCheckCommentLine, {line.text}); break;
        case LineKind::Empty: what = texts::kCheckEmptyLine; break;
        case LineKind::Command:
            if (verdict->verdict == Verdict::EndMarker || verdict->verdict == Verdict::EndsExecution) {
                what = VerdictText(line, *verdict);
            } else {
                const commands::CommandRow* row = line.entry != nullptr ? line.entry->row : nullptr;
                what = FillPattern(texts::kCheckCommand,
                                   {CatalogueName(line), CountLabel(line, checked, row), VerdictText(line, *verdict)});
                details = ParameterLines(line, row);
            }
            break;
    }
    return FillPattern(texts::kCheckLine, {std::to_string(line.number), what}) + "\n" + details;
}

// Where the agent would move a file without its marker, and whether it is
// old enough already.
std::string MissingMarkerText(const std::string& file) {
    const auto cut = file.find_last_of(kPathSeparators);
    const std::string directory = cut == std::string::npos ? "." : file.substr(0, cut + 1);
    const std::string name = cut == std::string::npos ? file : file.substr(cut + 1);
    const std::vector<platform::FileEntry> entries = platform::ListFiles(directory);
    auto entry = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.name == name; });
    if (entry == entries.end())
        entry = std::find_if(entries.begin(), entries.end(),
                             [&](const auto& e) { return commands::EqualIgnoringAsciiCase(e.name, name); });
    if (entry == entries.end()) return FillPattern(texts::kCheckMarkerMissing, {texts::kCheckBadNameUnknown});
    const bool abandoned = engine::IsAbandoned(platform::Now(), entry->lastWrite);
    return FillPattern(abandoned ? texts::kCheckMarkerMissingAbandoned : texts::kCheckMarkerMissing,
                       {engine::AbandonedName(entry->name, entry->lastWrite)});
}

// The report of one file; true when it would be taken and every command
// line would reach the driver.
bool CheckFile(const std::string& file, std::string& report) {
    report += FillPattern(texts::kCheckFile, {file}) + "\n";
    const auto bytes = platform::ReadFileBytes(file);
    if (!bytes) {
        report += std::string(texts::kCheckUnreadable) + "\n" +
                  FillPattern(texts::kCheckResultFailed, {texts::kCheckReasonUnreadable}) + "\n";
        return false;
    }
    const auto cut = file.find_last_of(kPathSeparators);
    if (!engine::IsCommandFileName(cut == std::string::npos ? file : file.substr(cut + 1), false))
        report += std::string(texts::kCheckNotCommandFileName) + "\n";

    const std::string text = engine::FoldTextMode(*bytes);
    const bool marker = engine::HasEndMarker(text);
    report += (marker ? std::string(texts::kCheckMarkerPresent) : MissingMarkerText(file)) + "\n";
    const JudgedFile judged = Judge(text);
    const engine::FileOptions& options = judged.file.options;
    report += FillPattern(texts::kCheckOptions, {options.checkOnly ? texts::kCheckYes : texts::kCheckNo,
                                                 options.stopOnError ? texts::kCheckNo : texts::kCheckYes}) +
              "\n";

    int failing = 0, notRun = 0;
    for (std::size_t i = 0; i < judged.file.lines.size(); ++i) {
        const FileLine& line = judged.file.lines[i];
        const std::optional<LineVerdict>& verdict = judged.verdicts[i];
        report += LineReport(line, verdict, judged.checked[i]);
        if (!verdict) continue;
        if (verdict->verdict == Verdict::Answers) ++failing;
        if ((verdict->verdict == Verdict::NotReached || verdict->verdict == Verdict::RejectedByPre) &&
            !EndsExecution(line))
            ++notRun;
    }
    std::string reasons;
    const auto addReason = [&reasons](const std::string& reason) { reasons += (reasons.empty() ? "" : "; ") + reason; };
    if (!marker) addReason(texts::kCheckReasonNoMarker);
    if (failing > 0) addReason(FillPattern(texts::kCheckReasonFailingLines, {std::to_string(failing)}));
    if (notRun > 0) addReason(FillPattern(texts::kCheckReasonLinesNotRun, {std::to_string(notRun)}));
    report += (reasons.empty() ? std::string(texts::kCheckResultOk) : FillPattern(texts::kCheckResultFailed, {reasons})) +
              "\n";
    return reasons.empty();
}

}  // namespace

std::vector<LineVerdict> JudgeCommandLines(std::string_view text) {
    std::vector<LineVerdict> verdicts;
    for (const std::optional<LineVerdict>& verdict : Judge(text).verdicts)
        if (verdict) verdicts.push_back(*verdict);
    return verdicts;
}

int CheckCommandFiles(std::span<const std::string> files, const std::function<void(std::string_view)>& write) {
    bool passed = true;
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string report = i == 0 ? "" : "\n";
        passed = CheckFile(files[i], report) && passed;
        write(report);
    }
    return passed ? kExitStopped : kExitCheckFailed;
}

}  // namespace zentrada::shell
