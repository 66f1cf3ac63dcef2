// A command file that a crash cut short, as the journal finds it at the next
// start: it is never run again, and its response file tells which lines ran.
#include <gtest/gtest.h>

#include "agent_fixture.h"
#include "engine/interrupted_file.h"
#include "engine/journal.h"
#include "engine/response_writer.h"
#include "platform/platform.h"
#include "resources/texts.h"

namespace zentrada::testing {
namespace {

const std::vector<std::string> kSale = {"; venda", "TORVA_Fiscal_Imprimir_MensagemEX|um|",
                                        "TORVA_Fiscal_Cancelar_Item|2|", "TORVA_Fiscal_Fechar_CupomEX|", "."};

std::string Record(int line, const std::string& status = "0") {
    return engine::FormatRecord(line, {status, status == "3" ? texts::kLineInterrupted : ""});
}

enum class Fate { Moved, Deleted, Stays };

struct Case {
    const char* what;
    std::string entries;       // after the header
    std::string responseBefore;
    std::string responseAfter;
    Fate fate;
    const char* logged;        // a text the log must hold, or nullptr
    bool changedSince = false;  // the file was rewritten after it was taken
};

class InterruptedFileTest : public AgentFixture {
protected:
    // The journal of VENDA.FPI as the worker wrote it when it took the file.
    void WriteJournal(const std::string& entries, bool changedSince) {
        const auto listed = platform::ListFiles(in().string());
        ASSERT_EQ(1u, listed.size());
        engine::JournalState state;
        state.directory = in().string();
        state.name = listed[0].name;
        state.responsePath = responsePath().string();
        state.size = listed[0].size;
        state.lastWriteNs = listed[0].lastWriteNs + (changedSince ? 1 : 0);
        WriteBytes(environment.journalPath, engine::JournalHeader(state) + entries);
    }
    fs::path responsePath() const { return out() / "VENDA_20261208_031500.fpo"; }
};

TEST_F(InterruptedFileTest, TheNextStartMarksTheLineInFlightAndNeverRunsTheFileAgain) {
    const std::string mark3 = Record(3, "3"), mark4 = Record(4, "3");
    const Case cases[] = {
        {"line 3 sent, not answered", "linha 2\nlinha 3\n", Record(2), Record(2) + mark3, Fate::Moved,
         "(VENDA.FPI) interrompido durante a execu\xE7\xE3o e renomeado para (VENDA_"},
        {"line 3 answered: the next is marked", "linha 2\nlinha 3\n", Record(2) + Record(3),
         Record(2) + Record(3) + mark4, Fate::Moved, nullptr},
        {"an entry cut short announced nothing", "linha 2\nlinha 3", "", Record(2, "3"), Fate::Moved, nullptr},
        {"the last line answered: only the deletion was missing", "linha 2\nlinha 3\nlinha 4\n",
         Record(2) + Record(3) + Record(4), Record(2) + Record(3) + Record(4), Fate::Deleted, nullptr},
        {"ran to its end", "linha 2\nlinha 3\nlinha 4\nfim\n", Record(2) + Record(3) + Record(4),
         Record(2) + Record(3) + Record(4), Fate::Deleted, nullptr},
        {"a start cut short after the mark", "linha 2\nlinha 3\n", Record(2) + mark3, Record(2) + mark3, Fate::Moved,
         nullptr},
        {"rewritten by the point of sale since", "linha 2\nlinha 3\n", Record(2), Record(2) + mark3, Fate::Stays,
          "n\xE3o est\xE1 mais na pasta de entrada", true},
        {"a failed line answered ended the pass: nothing else would run", "linha 2\nlinha 3\n",
         Record(2) + Record(3, "9"), Record(2) + Record(3, "9"), Fate::Deleted, nullptr},
        {"a record cut short by the crash is cut off", "linha 2\nlinha 3\n", Record(2) + "Line 3: 0",
         Record(2) + mark3, Fate::Moved, nullptr},
        {"-1 answered: its count record is written", "linha 2\n", Record(2, "-1"),
         Record(2, "-1") + engine::FormatRecord(2, {"3", texts::kWrongParameterCount}), Fate::Deleted, nullptr},
        {"records the output directory refused are written from the journal", "linha 2\n" +
         engine::RecordEntry(Record(2)) + "linha 3\n", "", Record(2) + mark3, Fate::Moved,
         "Respostas guardadas gravadas"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& dir : {in(), out()}) fs::remove_all(dir), fs::create_directories(dir);
        fs::remove(environment.logPath);
        Drop("VENDA.FPI", kSale);
        WriteJournal(c.entries, c.changedSince);
        if (!c.responseBefore.empty()) WriteBytes(responsePath(), c.responseBefore);

        StartWorker();
        EXPECT_EQ(c.responseAfter, fs::exists(responsePath()) ? ReadBytes(responsePath()) : "");
        EXPECT_EQ(c.fate == Fate::Stays, fs::exists(in() / "VENDA.FPI"));
        EXPECT_EQ(c.fate == Fate::Moved ? 1u : 0u, FilesLike(in(), "VENDA_", ".interrompido").size());
        if (c.logged) {
            EXPECT_NE(std::string::npos, Log().find(c.logged)) << Log();
        }
        EXPECT_EQ(0u, fs::file_size(environment.journalPath)) << "put right once";
        if (c.fate != Fate::Stays) {
            EXPECT_FALSE(Cycle()) << "nothing of the interrupted file runs";
            for (const std::string& call : Trace()) EXPECT_EQ(std::string::npos, call.find("Fiscal")) << call;
        }
        worker.reset();
    }
}

// A request of the TCP channel has no command file: its journal holds its
// text and its records, after the entries of the requests before it, and
// recovery writes the answers its client may not have had to its response
// file. It is never run again.
TEST_F(InterruptedFileTest, ARequestCutShortKeepsItsAnswersAndNeverRunsAgain) {
    const std::string r2 = engine::RecordEntry(Record(2)), r3 = engine::RecordEntry(Record(3));
    const std::string r4 = engine::RecordEntry(Record(4));
    const struct {
        const char* what;
        std::string entries;
        std::string responseAfter;
        const char* logged;
    } cases[] = {
        {"line 3 in flight", "linha 2\n" + r2 + "linha 3\n", Record(2) + Record(3, "3"),
         "(TCP_127.0.0.1_5000_7.FPI) interrompido durante a execu\xE7\xE3o; respostas n\xE3o entregues"},
        {"line 3 answered: the next is marked", "linha 2\n" + r2 + "linha 3\n" + r3,
         Record(2) + Record(3) + Record(4, "3"), "interrompido durante a execu\xE7\xE3o"},
        {"ran to its end, its client maybe not", "linha 2\n" + r2 + "linha 3\n" + r3 + "linha 4\n" + r4 + "fim\n",
         Record(2) + Record(3) + Record(4), "(TCP_127.0.0.1_5000_7.FPI) n\xE3o entregues ao cliente; gravadas em"},
        {"ran to its end, delivered", "linha 2\n" + r2 + "linha 3\n" + r3 + "linha 4\n" + r4 + "fim\nentregue\n", "",
         nullptr},
        {"nothing sent", "", "", "(TCP_127.0.0.1_5000_7.FPI) interrompido antes de chegar \xE0 impressora"},
    };
    const fs::path response = out() / "TCP_127.0.0.1_5000_7_20261208_031500.fpo";
    engine::JournalState before;
    before.name = "TCP_127.0.0.1_5000_6.FPI";
    before.responsePath = (out() / "TCP_127.0.0.1_5000_6_20261208_031500.fpo").string();
    before.request = "; ZENTRADA EM EXECUCAO 1\nTORVA_Fiscal_Imprimir_MensagemEX|um|\n.\n";
    const std::string delivered = engine::JournalHeader(before) + "linha 2\n" + r2 + "fim\nentregue\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(out()), fs::create_directories(out());
        fs::remove(environment.logPath);
        engine::JournalState state;
        state.name = "TCP_127.0.0.1_5000_7.FPI";
        state.responsePath = response.string();
        state.request = "; venda\nTORVA_Fiscal_Imprimir_MensagemEX|um|\nTORVA_Fiscal_Cancelar_Item|2|\n"
                        "TORVA_Fiscal_Fechar_CupomEX|\n.\n";
        state.size = state.request->size();
        WriteBytes(environment.journalPath, delivered + engine::JournalHeader(state) + c.entries);

        StartWorker();
        EXPECT_EQ(c.responseAfter, fs::exists(response) ? ReadBytes(response) : "");
        EXPECT_EQ(c.responseAfter.empty() ? 0u : 1u, FilesLike(out(), "", "").size());
        if (c.logged) {
            EXPECT_NE(std::string::npos, Log().find(c.logged)) << Log();
        }
        EXPECT_EQ(0u, fs::file_size(environment.journalPath)) << "put right once";
        EXPECT_FALSE(Cycle());
        for (const std::string& call : Trace()) EXPECT_EQ(std::string::npos, call.find("Fiscal")) << call;
        worker.reset();
    }
}

TEST_F(InterruptedFileTest, AFileCutShortBeforeItsFirstCallRunsOnceFromTheStart) {
    // Killed during the checking pass: its records were only checks, and go.
    Drop("VENDA.FPI", {"/PRE", "TORVA_Fiscal_Imprimir_MensagemEX|um|", "."});
    WriteJournal("", false);
    WriteBytes(responsePath(), Record(2));
    StartWorker();
    EXPECT_TRUE(fs::exists(in() / "VENDA.FPI"));
    EXPECT_FALSE(fs::exists(responsePath()));
    EXPECT_TRUE(Cycle());
    EXPECT_EQ(1u, Trace().size());
    EXPECT_EQ(0u, FilesLike(in(), "VENDA_", ".interrompido").size());
}

TEST_F(InterruptedFileTest, TheJournalFollowsTheFileLineByLineWhereverItsDirectoriesAre) {
    StartWorker();
    Script({"TORVA_Fiscal_Cancelar_Item|9|"});
    Drop("VENDA.FPI", kSale);
    EXPECT_TRUE(Cycle());
    const auto state = engine::ParseJournal(ReadBytes(environment.journalPath));
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(in().string(), state->directory);
    EXPECT_EQ("VENDA.FPI", state->name);
    EXPECT_EQ(out().string(), fs::path(state->responsePath).parent_path().string());
    EXPECT_EQ(3, state->lastLine);  // the failed line stopped the file
    EXPECT_TRUE(state->finished);
}

}  // namespace
}  // namespace zentrada::testing
