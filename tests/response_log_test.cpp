#include <gtest/gtest.h>

#include "engine/agent_log.h"
#include "engine/journal.h"
#include "engine/response_writer.h"
#include "resources/texts.h"
#include "test_files.h"

namespace zentrada::engine {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;
namespace fs = testing::fs;

TEST(RecordTest, FieldsEachClosedByABarAndTheRecordByCrCrLf) {
    EXPECT_EQ(FormatRecord(4, {"0", "12345", "ABC"}), "Line 4: 0|12345|ABC|\r\r\n");
    EXPECT_EQ(FormatRecord(2, {"0"}), "Line 2: 0|\r\r\n");
    EXPECT_EQ(FormatRecord(2, {}), "Line 2: \r\r\n");
    EXPECT_EQ(FormatRecord(3, {"0", "", "x|y"}), "Line 3: 0||x|y|\r\r\n");
    EXPECT_EQ(FormatRecord(9, {"-22", "t"}), "Line 9: -22|t|\r\r\n");
}

TEST(RecordTest, StatusOneBlanksTheData) {
    EXPECT_EQ(FormatRecord(4, {"1", "12345", "ABC"}), "Line 4: 1|||\r\r\n");
    EXPECT_EQ(FormatRecord(4, {" 1", "x"}), "Line 4:  1||\r\r\n");
    EXPECT_EQ(FormatRecord(4, {"10", "x"}), "Line 4: 10|x|\r\r\n");
}

TEST(RecordTest, AgentMessagesAreCodePage1252) {
    EXPECT_EQ(FormatRecord(7, {"3", texts::kUnknownCommand}),
              "Line 7: 3|Erro no comando. Nome de comando n\xE3o existente.|\r\r\n");
    const std::string count = FormatRecord(1, {"3", texts::kWrongParameterCount});
    EXPECT_EQ(count, "Line 1: 3|Erro de par\xE2metros. N\xFAmero de par\xE2metros incorreto.|\r\r\n");
    EXPECT_EQ(count.size(), std::string("Line 1: 3|Erro de parametros. Numero de parametros incorreto.|\r\r\n").size());
}

TEST(ResponseFileNameTest, StampedUnlessSimplified) {
    EXPECT_EQ(ResponseFileName("VENDA", "20261206_052233", false), "VENDA_20261206_052233.fpo");
    EXPECT_EQ(ResponseFileName("COMANDO", "20261206_052233", true), "COMANDO.fpo");
}

TEST(ResponseFileTest, TheNameAppearsOnlyWithTheFirstRecordInIt) {
    TempDir dir;
    const AgentLog log(dir / "log.txt");
    const std::string reused = dir / "R.fpo";
    // A reused name keeps the previous answers whole until the first record
    // replaces them in one step.
    WriteBytes(reused, "Line 1: 0|stale|\r\r\n");
    ResponseFile file(reused, true, false);
    ASSERT_TRUE(file.NameFree() && file.CreatePending());
    EXPECT_EQ("Line 1: 0|stale|\r\r\n", ReadBytes(reused));
    ResponseWriter writer(file, log);
    writer.SetLine(3);
    writer.WriteResponse({"0"});
    writer.SetLine(5);
    writer.WriteResponse({"7"});
    EXPECT_EQ("Line 3: 0|\r\r\nLine 5: 7|\r\r\n", ReadBytes(reused));
    EXPECT_FALSE(fs::exists(ResponseFile::PendingPath(reused)));

    // A stamped name already there belongs to another file: never emptied.
    EXPECT_FALSE(ResponseFile(reused, false, false).NameFree());
    // A file without records leaves nothing behind.
    ResponseFile none(dir / "S.fpo", false, false);
    ASSERT_TRUE(none.CreatePending());
    none.Discard();
    EXPECT_FALSE(fs::exists(dir / "S.fpo.tmp"));
    EXPECT_FALSE(fs::exists(dir / "S.fpo"));
}

TEST(ResponseWriterTest, RecordsTheOutputDirectoryRefusesGoToTheJournalInOrder) {
    TempDir dir;
    const AgentLog log(dir / "log.txt");
    fs::create_directories(dir / "out");
    EXPECT_FALSE(ResponseFile(dir / "missing/R.fpo", false, false).CreatePending());

    ResponseFile file(dir / "out/R.fpo", false, false);
    ASSERT_TRUE(file.NameFree() && file.CreatePending());
    Journal journal(dir / "journal.txt", false, log);
    journal.Begin(JournalState{});
    ResponseWriter writer(file, log, &journal);
    writer.SetLine(1);
    writer.WriteResponse({"0"});
    fs::remove_all(dir / "out");
    writer.SetLine(2);
    writer.WriteResponse({"-1"});
    writer.WriteResponse({"3", "x"});
    EXPECT_TRUE(writer.Failed());
    journal.Force();
    const auto state = ParseJournal(ReadBytes(dir / "journal.txt"));
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ("Line 1: 0|\r\r\nLine 2: -1|\r\r\nLine 2: 3|x|\r\r\n", state->records);
    const std::string text = ReadBytes(dir / "log.txt");
    EXPECT_NE(text.find("Erro ao gravar o arquivo de resposta ("), std::string::npos);
    EXPECT_EQ(text.find("\r\r\n"), text.size() - 3) << "logged once";
}

TEST(LogTest, TimeIsMonthDayYearAndClock) {
    EXPECT_EQ(FormatLogTime({2026, 12, 6, 5, 22, 33, 0}), "12/06/26 05:22:33");
    EXPECT_EQ(FormatLogTime({2031, 1, 2, 23, 4, 5, 0}), "01/02/31 23:04:05");
}

TEST(LogTest, LinesAreCutTakenLiterallyAndEndCrCrLf) {
    TempDir dir;
    const AgentLog log(dir / "log.txt");
    log.WriteLog(std::string(1500, 'x'));
    log.WriteLog("100%d %s");
    log.WritePlainLine(texts::kLibraryNotFound);
    const std::string text = ReadBytes(dir / "log.txt");
    const std::string first = text.substr(0, text.find("\r\r\n"));
    EXPECT_EQ(first.size(), 17 + 3 + 1000u);
    EXPECT_EQ(first.substr(17, 3), " - ");
    EXPECT_NE(text.find(" - 100%d %s\r\r\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\r\r\nErro! Dll InterfaceTorva n\xE3o encontrada.\r\r\n"));
}

TEST(LogTest, PatternsFillEachPlaceholderOnce) {
    EXPECT_EQ(FillPattern("de (%s) para (%s).", {"A%s", "B"}), "de (A%s) para (B).");
    EXPECT_EQ(FillPattern("%s and %s", {"one"}), "one and %s");
}

}  // namespace
}  // namespace zentrada::engine
