#include <gtest/gtest.h>

#include "engine/agent_log.h"
#include "engine/response_writer.h"
#include "resources/texts.h"
#include "test_files.h"

namespace zentrada::engine {
namespace {

using testing::ReadBytes;
using testing::TempDir;

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

TEST(ResponseWriterTest, FirstRecordEmptiesTheFileWhateverItsLine) {
    TempDir dir;
    const AgentLog log(dir / "log.txt");
    testing::WriteBytes(dir / "R.fpo", "Line 1: 0|stale|\r\r\n");
    int line = 3;
    ResponseWriter writer(dir / "R.fpo", log, [&] { return line; });
    writer.WriteResponse({"0"});
    line = 5;
    writer.WriteResponse({"7"});
    EXPECT_EQ(ReadBytes(dir / "R.fpo"), "Line 3: 0|\r\r\nLine 5: 7|\r\r\n");
}

TEST(ResponseWriterTest, UnwritableResponseIsLoggedOncePerFile) {
    TempDir dir;
    const AgentLog log(dir / "log.txt");
    ResponseWriter writer(dir / "missing/R.fpo", log, [] { return 1; });
    writer.WriteResponse({"0"});
    writer.WriteResponse({"0"});
    const std::string text = ReadBytes(dir / "log.txt");
    EXPECT_NE(text.find("Erro ao gravar o arquivo de resposta ("), std::string::npos);
    EXPECT_EQ(text.find("\r\r\n"), text.size() - 3);
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
