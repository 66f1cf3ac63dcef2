// zentrada --check against the agent itself: the fuzzers' seed files and the
// sample command files, each judged by the check and run by the real worker
// against the recording library, which answers 0 to every call.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "agent_fixture.h"
#include "commands/catalogue.h"
#include "commands/command_row.h"
#include "engine/intake.h"
#include "engine/pass_rule.h"
#include "engine/reader.h"
#include "engine/record_bytes.h"
#include "engine/response_writer.h"
#include "engine/text_file.h"
#include "shell/headless/check_files.h"

namespace zentrada::testing {
namespace {

class CheckAgreementTest : public AgentFixture {};

// The fuzzers' seed files, and the sample command files.
std::vector<fs::path> CorpusFiles() {
    const fs::path source = ZENTRADA_SOURCE_DIR;
    std::vector<fs::path> files;
    for (const auto& [dir, suffix] : {std::pair{"fuzz/corpus/command_file", ""}, std::pair{"fuzz/corpus/reader", ""},
                                      std::pair{"tools/samples", ".FPI"}}) {
        for (const auto& entry : fs::directory_iterator(source / dir))
            if (entry.is_regular_file() && entry.path().filename().string().ends_with(suffix))
                files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string WithoutRecordEnd(std::string_view record) {
    return std::string(record.substr(0, record.size() - (sizeof engine::kRecordEnd - 1)));
}

// The calls ("Line N: name") and records ("Line N: 0" for a call the driver
// answered, else the agent's own record) of one file, in order.
struct Outcome {
    std::vector<std::string> calls;
    std::vector<std::string> records;
};

// What the check predicts; `commandLines` counts the lines it judged.
Outcome Predicted(const std::string& text, int& commandLines) {
    const engine::CommandFile file = engine::ReadCommandFile(text);
    Outcome outcome;
    for (const shell::LineVerdict& verdict : shell::JudgeCommandLines(text)) {
        ++commandLines;
        const std::string line = "Line " + std::to_string(verdict.number) + ": ";
        if (verdict.verdict == shell::Verdict::CallsDriver) {
            const auto read = std::find_if(file.lines.begin(), file.lines.end(),
                                           [&](const engine::FileLine& l) { return l.number == verdict.number; });
            const commands::CommandRow* row = read->entry != nullptr ? read->entry->row : nullptr;
            outcome.calls.push_back(line + (row != nullptr ? row->name : "?"));
            outcome.records.push_back(line + "0");
        } else if (verdict.verdict == shell::Verdict::Answers) {
            outcome.records.push_back(
                WithoutRecordEnd(engine::FormatRecord(verdict.number, engine::AgentRecordFields(verdict.record))));
        }
    }
    return outcome;
}

// What the worker did: its records, and each traced call with the line of
// the record of the same rank among those the driver answered (each call
// writes one).
Outcome Observed(const std::string& response, const std::vector<std::string>& trace) {
    Outcome outcome;
    std::vector<std::string> answered;
    for (const std::string_view record : engine::SplitRecords(response)) {
        const std::string line = "Line " + std::to_string(engine::RecordLine(record).value_or(-1)) + ": ";
        if (engine::RecordStatus(record) == "3") {
            outcome.records.push_back(WithoutRecordEnd(record));
        } else {
            answered.push_back(line);
            outcome.records.push_back(line + std::string(engine::RecordStatus(record)));
        }
    }
    for (std::size_t i = 0; i < trace.size(); ++i)
        outcome.calls.push_back((i < answered.size() ? answered[i] : "Line ?: ") + trace[i].substr(0, trace[i].find('|')));
    return outcome;
}

TEST_F(CheckAgreementTest, WorkerSendsAndAnswersEveryCorpusLineAsTheCheckPredicts) {
    StartWorker();
    int used = 0, skipped = 0, lines = 0;
    for (const fs::path& path : CorpusFiles()) {
        SCOPED_TRACE(path.string());
        std::string bytes = ReadBytes(path);
        // The worker takes a file only once it ends with its marker; one
        // whose Ctrl-Z comes first is never taken.
        if (!engine::HasEndMarker(engine::FoldTextMode(bytes))) bytes += "\r\n.\r\n";
        const std::string text = engine::FoldTextMode(bytes);
        if (!engine::HasEndMarker(text)) {
            ++skipped;
            continue;
        }
        ++used;
        const Outcome predicted = Predicted(text, lines);

        ClearTrace();
        WriteBytes(in() / "CASO.FPI", bytes);
        ASSERT_TRUE(Cycle());
        std::string response;
        for (const std::string& name : FilesLike(out(), "CASO_", ".fpo")) {
            response += ReadBytes(out() / name);
            fs::remove(out() / name);
        }
        const Outcome observed = Observed(response, Trace());
        EXPECT_EQ(predicted.calls, observed.calls);
        EXPECT_EQ(predicted.records, observed.records);
    }
    EXPECT_GT(used, 0);
    RecordProperty("files", used);
    RecordProperty("skipped", skipped);
    RecordProperty("command_lines", lines);
}

}  // namespace
}  // namespace zentrada::testing
