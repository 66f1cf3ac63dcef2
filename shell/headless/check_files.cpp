#include "shell/headless/check_files.h"

#include <algorithm>
#include <cstdint>
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
#include "engine/pass_rule.h"
#include "engine/worker.h"
#include "platform/platform.h"
#include "resources/texts.h"
#include "shell/exit_status.h"

namespace zentrada::shell {
namespace {

using engine::FillPattern;

#if defined(_WIN32)
constexpr char kPathSeparators[] = "\\/:";
#else
constexpr char kPathSeparators[] = "/";
#endif

enum class LineKind { Option, OptionOutsideBlock, Comment, Empty, Command };

// What the agent does with a command line.
enum class Verdict { CallsDriver, EndMarker, EndsExecution, Fails, NotReached, RejectedByPre };

struct FileLine {
    std::int32_t number = 0;
    LineKind kind = LineKind::Command;
    std::string text;               // a skipped line, blanks trimmed
    commands::CommandLine command;  // a command line's name and parameters
    std::int32_t code = commands::kNotCatalogued;
    // The checking pass's answer: -1 for a failing line, 0 for the end
    // marker, 1 for a line that would call the driver.
    std::int32_t checked = -1;
    Verdict verdict = Verdict::CallsDriver;
    std::int32_t endLine = 0;  // where the execution ends, for NotReached
};

// The checking pass writes no record of its own: the worker writes them.
class NoRecords final : public commands::ResponseSink {
public:
    void WriteResponse(const std::vector<std::string>&) override {}
};

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The answer of the agent's checking pass, which calls no driver function:
// an empty binding stands for the library.
std::int32_t CheckingPassAnswer(const FileLine& line) {
    if (line.code == commands::kNotCatalogued) return -1;
    static const driver::DriverBinding kNoDriver{};
    NoRecords records;
    commands::DriverLogSetting driverLog;
    commands::CommandContext context{kNoDriver, records, driverLog, true};
    return commands::DispatchCommand(line.code, line.command.params, context);
}

// `count` lines the reader passed over, read again as the same pieces from
// where its read started.
void AddSkippedLines(std::vector<FileLine>& lines, std::string_view from, std::size_t pieceChars,
                     bool optionBlock, int count) {
    engine::PieceReader pieces(from);
    for (int i = 0; i < count; ++i) {
        const std::string_view piece = pieces.Next(pieceChars).value_or(std::string_view{});
        FileLine line;
        line.number = lines.empty() ? 1 : lines.back().number + 1;
        line.text = Trim(piece);
        // The reader has judged the line; this only names what it is.
        if (optionBlock) line.kind = line.text.starts_with('/') ? LineKind::Option : LineKind::Comment;
        else if (line.text.empty()) line.kind = LineKind::Empty;
        else line.kind = line.text.starts_with('/') ? LineKind::OptionOutsideBlock : LineKind::Comment;
        lines.push_back(std::move(line));
    }
}

// Every line of a text as the agent's reader takes it; `options` as the
// option block sets them.
std::vector<FileLine> ReadLines(const std::string& text, engine::FileOptions& options) {
    std::vector<FileLine> lines;
    engine::CommandFileReader reader(text);
    reader.ReadOptions(options);
    AddSkippedLines(lines, text, engine::kOptionPieceChars, true, reader.LineNumber());
    for (;;) {
        const std::size_t start = reader.Position();
        const std::int32_t before = reader.LineNumber();
        FileLine line;
        const bool found = reader.ReadNextCommandLine(line.command);
        AddSkippedLines(lines, std::string_view(text).substr(start), engine::kCommandPieceChars, false,
                        reader.LineNumber() - before - (found ? 1 : 0));
        if (!found) return lines;
        line.number = reader.LineNumber();
        line.code = commands::LookupCommandCode(line.command.name);
        line.checked = CheckingPassAnswer(line);
        lines.push_back(std::move(line));
    }
}

bool EndsExecution(const FileLine& line) {
    return line.code == commands::kNotCatalogued && engine::EndsExecutionPass(line.command.name);
}

// The worker's two passes over the command lines: with /PRE one failing
// line has every failing line answered and nothing run; in the execution
// pass a failing line is the last one run unless /NOSTOP is set.
void JudgeLines(std::vector<FileLine>& lines, const engine::FileOptions& options) {
    const bool rejected = options.checkOnly && std::any_of(lines.begin(), lines.end(), [](const FileLine& line) {
                              return line.kind == LineKind::Command && line.checked == -1;
                          });
    std::int32_t endLine = 0;
    for (FileLine& line : lines) {
        if (line.kind != LineKind::Command) continue;
        if (line.code == commands::kEndMarkerCode) {
            line.verdict = Verdict::EndMarker;
        } else if (rejected) {
            line.verdict = line.checked == -1 ? Verdict::Fails : Verdict::RejectedByPre;
        } else if (endLine != 0) {
            line.verdict = Verdict::NotReached;
            line.endLine = endLine;
        } else if (EndsExecution(line)) {
            line.verdict = Verdict::EndsExecution;
            endLine = line.number;
        } else if (line.checked == -1) {
            line.verdict = Verdict::Fails;
            if (options.stopOnError) endLine = line.number;
        } else {
            line.verdict = Verdict::CallsDriver;
        }
    }
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string CatalogueName(const FileLine& line) {
    for (const commands::CatalogueEntry& entry : commands::Catalogue())
        if (entry.code == line.code) return std::string(entry.name);
    return Quoted(line.command.name);
}

std::string CountLabel(const FileLine& line, const commands::CommandRow* row) {
    const int count = line.command.ParamCount();
    const std::string given =
        count == 1 ? std::string(texts::kCheckOneParameter) : FillPattern(texts::kCheckParameters, {std::to_string(count)});
    if (line.checked != -1 || line.code == commands::kNotCatalogued) return given;
    if (row == nullptr || row->rule == commands::RowRule::NeverExecuted)
        return FillPattern(texts::kCheckNeverExecuted, {given});
    return FillPattern(texts::kCheckExpected, {given, std::to_string(row->parameterCount)});
}

std::string VerdictText(const FileLine& line) {
    switch (line.verdict) {
        case Verdict::CallsDriver: return texts::kCheckCallsDriver;
        case Verdict::EndMarker: return FillPattern(texts::kCheckEndMarker, {Quoted(line.command.name)});
        case Verdict::EndsExecution: return FillPattern(texts::kCheckEndsExecution, {Quoted(line.command.name)});
        case Verdict::Fails: {
            const char* error = line.code == commands::kNotCatalogued ? texts::kUnknownCommand
                                                                      : texts::kWrongParameterCount;
            std::string record = engine::FormatRecord(line.number, {"3", error});
            record.resize(record.size() - (sizeof engine::kRecordEnd - 1));
            return FillPattern(texts::kCheckAnswers, {record});
        }
        case Verdict::NotReached: return FillPattern(texts::kCheckNotReached, {std::to_string(line.endLine)});
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

std::string LineReport(const FileLine& line) {
    std::string what, details;
    switch (line.kind) {
        case LineKind::Option: what = FillPattern(texts::kCheckOptionLine, {line.text}); break;
        case LineKind::OptionOutsideBlock: what = FillPattern(texts::kCheckOptionOutsideBlock, {line.text}); break;
        case LineKind::Comment: what = FillPattern(texts::kCheckCommentLine, {line.text}); break;
        case LineKind::Empty: what = texts::kCheckEmptyLine; break;
        case LineKind::Command:
            if (line.verdict == Verdict::EndMarker || line.verdict == Verdict::EndsExecution) {
                what = VerdictText(line);
            } else {
                const commands::CommandRow* row = commands::FindCommandRow(line.code);
                what = FillPattern(texts::kCheckCommand, {CatalogueName(line), CountLabel(line, row), VerdictText(line)});
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
    engine::FileOptions options;
    std::vector<FileLine> lines = ReadLines(text, options);
    report += FillPattern(texts::kCheckOptions, {options.checkOnly ? texts::kCheckYes : texts::kCheckNo,
                                                 options.stopOnError ? texts::kCheckNo : texts::kCheckYes}) +
              "\n";
    JudgeLines(lines, options);

    int failing = 0, notRun = 0;
    for (const FileLine& line : lines) {
        report += LineReport(line);
        if (line.kind != LineKind::Command) continue;
        if (line.verdict == Verdict::Fails) ++failing;
        if ((line.verdict == Verdict::NotReached || line.verdict == Verdict::RejectedByPre) && !EndsExecution(line))
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
