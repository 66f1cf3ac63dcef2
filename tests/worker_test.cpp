#include <algorithm>
#include <functional>
#include <thread>

#include "agent_fixture.h"
#include "commands/families.h"
#include "platform/directory_watch.h"
#include "resources/texts.h"

namespace zentrada::testing {
namespace {

using namespace std::chrono_literals;

const std::string kUnknown = std::string("3|") + texts::kUnknownCommand + "|\r\r\n";
const std::string kWrongCount = std::string("3|") + texts::kWrongParameterCount + "|\r\r\n";
const std::string kOpen = "TORVA_Fiscal_Abrir_Cupom|A|B|C|D|07|";
const std::string kCancelLast = "TORVA_Fiscal_Cancelar_Ultimo_Item";

class WorkerTest : public AgentFixture {};

TEST_F(WorkerTest, UncataloguedCommandIsAnsweredWithCode3AndTheFileDeleted) {
    StartWorker();
    EXPECT_EQ(Run({"TORVA_Nao_Existe|1|", "."}),
              "Line 1: 3|Erro no comando. Nome de comando n\xE3o existente.|\r\r\n");
    EXPECT_TRUE(Trace().empty());
}

TEST_F(WorkerTest, EachLineIsOneDriverCallAndOneRecord) {
    StartWorker();
    EXPECT_EQ(Run({kOpen, "; comment", kCancelLast, "."}), "Line 1: 0|\r\r\nLine 3: 0|\r\r\n");
    EXPECT_EQ(Trace(), (std::vector<std::string>{"TORVA_Fiscal_Abrir_Cupom|A|B|C|D|7|",
                                                 "TORVA_Fiscal_Cancelar_Ultimo_Item|"}));
}

// A second agent on the same input directory, from another program or a
// copy with other settings, takes nothing from it while the first lives.
TEST_F(WorkerTest, TwoAgentsNeverTakeFilesFromOneInputDirectory) {
    engine::Worker& first = StartWorker();
    EXPECT_FALSE(first.RunCycle());
    engine::SharedState otherShared;
    otherShared.SetDirectories(in().string(), out().string());
    auto second = std::make_unique<engine::Worker>(otherShared, environment);
    ASSERT_FALSE(second->Start().has_value());
    Drop("VENDA.FPI", {kCancelLast, "."});
    EXPECT_FALSE(second->RunCycle());
    EXPECT_FALSE(second->RunCycle());
    EXPECT_TRUE(fs::exists(in() / "VENDA.FPI"));
    const std::string log = Log();
    const auto refused = log.find("est\xE1 em uso por outro Zentrada");
    EXPECT_NE(std::string::npos, refused) << log;
    EXPECT_EQ(std::string::npos, log.find("est\xE1 em uso por outro", refused + 1)) << "logged once";
    worker.reset();
    EXPECT_TRUE(second->RunCycle()) << "free once the first has ended";
    EXPECT_FALSE(fs::exists(in() / "VENDA.FPI"));
}

TEST_F(WorkerTest, CheckingPassWritesNothingAndTheFileRunsOnce) {
    StartWorker();
    EXPECT_EQ(Run({"/PRE", kOpen, kCancelLast, "."}), "Line 2: 0|\r\r\nLine 3: 0|\r\r\n");
    EXPECT_EQ(Trace().size(), 2u);
}

TEST_F(WorkerTest, CheckingPassRejectsTheWholeFile) {
    StartWorker();
    EXPECT_EQ(Run({"/PRE", kOpen, "NOPE|", kCancelLast + "|x|", "TORVA_Serial_Obter_Estado_Com", "."}),
              "Line 3: " + kUnknown + "Line 4: " + kWrongCount + "Line 5: " + kWrongCount);
    EXPECT_TRUE(Trace().empty());
}

TEST_F(WorkerTest, AFailedLineIsTheLastOneRun) {
    StartWorker();
    Script({"TORVA_Fiscal_Abrir_Cupom|9|"});
    EXPECT_EQ(Run({kOpen, kCancelLast, "."}), "Line 1: 9|\r\r\n");
    EXPECT_EQ(Trace().size(), 1u);
    EXPECT_EQ(Run({"NOPE", kCancelLast, "."}), "Line 1: " + kUnknown);
    EXPECT_EQ(Run({kOpen + "x|", kCancelLast, "."}), "Line 1: " + kWrongCount);
}

TEST_F(WorkerTest, NoStopAttemptsAndAnswersEveryLine) {
    StartWorker();
    Script({"TORVA_Fiscal_Abrir_Cupom|9|"});
    EXPECT_EQ(Run({"/NOSTOP", kOpen, "NOPE|", kCancelLast + "|1|", kCancelLast, "."}),
              "Line 2: 9|\r\r\nLine 3: " + kUnknown + "Line 4: " + kWrongCount + "Line 5: 0|\r\r\n");
}

TEST_F(WorkerTest, MinusOneFromTheDriverIsAnsweredTwice) {
    StartWorker();
    Script({"TORVA_Fiscal_Cancelar_Ultimo_Item|-1|"});
    EXPECT_EQ(Run({kCancelLast, kOpen, "."}), "Line 1: -1|\r\r\nLine 1: " + kWrongCount);
    EXPECT_EQ(Trace().size(), 1u);
}

TEST_F(WorkerTest, DotLineIsPassedOverButDotAndWordEndsThePass) {
    StartWorker();
    EXPECT_EQ(Run({kCancelLast, ".", kCancelLast, ". fim", kCancelLast, "."}), "Line 1: 0|\r\r\nLine 3: 0|\r\r\n");
}

TEST_F(WorkerTest, OutputsFollowTheStatusAndStatusOneBlanksThem) {
    StartWorker();
    Script({"TORVA_Fiscal_Obter_SubTotal|0|123,45|"});
    EXPECT_EQ(Run({"TORVA_Fiscal_Obter_SubTotal", "."}), "Line 1: 0|123,45|\r\r\n");
    Script({"TORVA_Fiscal_Obter_SubTotal|1|123,45|"});
    EXPECT_EQ(Run({"TORVA_Fiscal_Obter_SubTotal", "."}), "Line 1: 1||\r\r\n");
}

TEST_F(WorkerTest, TextsReachTheDriverAndTheResponseAsCodePage1252Bytes) {
    StartWorker();
    Script({"TORVA_Obter_Mensagem_Erro|0|N\xFAmero inv\xE1lido|"});
    EXPECT_EQ(Run({"TORVA_Obter_Mensagem_Erro|A\xE7\xE3o|", "."}), "Line 1: 0|N\xFAmero inv\xE1lido|\r\r\n");
    EXPECT_EQ(Trace(), std::vector<std::string>{"TORVA_Obter_Mensagem_Erro|A\xE7\xE3o|<out>|"});
}

TEST_F(WorkerTest, FilesWithoutTheMarkerWaitThenGoToTheirBadNames) {
    StartWorker();
    Drop("WAIT.FPI", {kCancelLast});
    Drop("OLD.1.FPI", {kCancelLast});
    AgeFile(in() / "OLD.1.FPI", 10min);
    const auto written = fs::last_write_time(in() / "OLD.1.FPI");
    EXPECT_FALSE(Cycle());
    EXPECT_TRUE(fs::exists(in() / "WAIT.FPI"));
    const auto bad = FilesLike(in(), "OLD_", ".bad");
    ASSERT_EQ(bad.size(), 1u);
    EXPECT_EQ(bad[0].size(), std::string("OLD_20261206052233000123.bad").size());
    EXPECT_EQ(fs::last_write_time(in() / bad[0]), written);
    EXPECT_NE(Log().find(" - Arquivo renomeado de (OLD.1.FPI) para (" + bad[0] +
                         "). Finalizador do arquivo n\xE3o encontrado.\r\r\n"),
              std::string::npos);
    EXPECT_TRUE(Trace().size() >= 1 && FilesLike(out(), "", ".fpo").empty());
}

// A waiting file is remembered as it was; once it changes it is read again.
TEST_F(WorkerTest, AWaitingFileThatChangesIsReadAgain) {
    StartWorker();
    Drop("WAIT.FPI", {kCancelLast});
    EXPECT_FALSE(Cycle());
    EXPECT_FALSE(Cycle());
    Drop("WAIT.FPI", {kCancelLast, "."});
    EXPECT_TRUE(Cycle());
    EXPECT_EQ(Response("WAIT_"), "Line 1: 0|\r\r\n");

    // A file longer than one read, whose end alone is looked at while it
    // waits, the same when it grows its marker.
    std::vector<std::string> lines(2000, "; " + std::string(60, 'x'));
    lines.push_back(kCancelLast);
    Drop("LONG.FPI", lines);
    EXPECT_FALSE(Cycle());
    lines.push_back(".");
    Drop("LONG.FPI", lines);
    EXPECT_TRUE(Cycle());
    EXPECT_EQ(Response("LONG_"), "Line 2001: 0|\r\r\n");
}

TEST_F(WorkerTest, AFailedMoveIsLoggedOnceAndNeverAsARename) {
    StartWorker();
    Drop("OLD.FPI", {kCancelLast});
    AgeFile(in() / "OLD.FPI", 10min);
    ASSERT_TRUE(Cycle() == false);
    const std::string badName = FilesLike(in(), "OLD_", ".bad").at(0);
    // Put the file back under its old name while another holds the .bad name.
    Drop("OLD.FPI", {kCancelLast});
    fs::last_write_time(in() / "OLD.FPI", fs::last_write_time(in() / badName));
    const std::string logBefore = Log();
    for (int i = 0; i < 3; ++i) Cycle();
    const std::string added = Log().substr(logBefore.size());
    EXPECT_TRUE(fs::exists(in() / "OLD.FPI"));
    EXPECT_EQ(added.find("renomeado"), std::string::npos);
    const auto failed = added.find("Falha ao renomear o arquivo (OLD.FPI) para (" + badName + ")");
    ASSERT_NE(failed, std::string::npos);
    EXPECT_EQ(added.find("Falha", failed + 1), std::string::npos);
}

TEST_F(WorkerTest, OneFilePerCycleOldestFirst) {
    StartWorker();
    Drop("B.FPI", {"TORVA_Autenticar_Imprimir|B|", "."});
    Drop("A.FPI", {"TORVA_Autenticar_Imprimir|A|", "."});
    AgeFile(in() / "B.FPI", 1min);
    EXPECT_TRUE(Cycle());
    EXPECT_TRUE(fs::exists(in() / "A.FPI"));
    EXPECT_TRUE(Cycle());
    EXPECT_EQ(Trace(), (std::vector<std::string>{"TORVA_Autenticar_Imprimir|B|", "TORVA_Autenticar_Imprimir|A|"}));
    EXPECT_FALSE(Cycle());
}

TEST_F(WorkerTest, LowerCaseExtensionIsTakenAndDeletedUnderItsRealName) {
    StartWorker();
    Drop("venda.fpi", {kCancelLast, "."});
    EXPECT_TRUE(Cycle());
    EXPECT_FALSE(fs::exists(in() / "venda.fpi"));
    EXPECT_EQ(Response("venda_"), "Line 1: 0|\r\r\n");
}

TEST_F(WorkerTest, SimplifiedModeAnswersComandoOnlyAndNeverMixesFiles) {
    shared.simpleMode = true;
    StartWorker();
    Drop("OUTRO.FPI", {kCancelLast, "."});
    Drop("COMANDO.FPI", {kCancelLast, kCancelLast, "."});
    EXPECT_TRUE(Cycle());
    EXPECT_EQ(ReadBytes(out() / "COMANDO.fpo"), "Line 1: 0|\r\r\nLine 2: 0|\r\r\n");
    // Options first: its first record answers line 2, yet it starts afresh.
    Drop("COMANDO.FPI", {"/NOSTOP", kCancelLast, "."});
    EXPECT_TRUE(Cycle());
    EXPECT_EQ(ReadBytes(out() / "COMANDO.fpo"), "Line 2: 0|\r\r\n");
    EXPECT_FALSE(Cycle());
    EXPECT_TRUE(fs::exists(in() / "OUTRO.FPI"));
}

TEST_F(WorkerTest, AnExecutedFileThatCannotBeDeletedIsNeverRunAgainWhileUnchanged) {
    StartWorker();
    Drop("VENDA.FPI", {kOpen, "."});
    UndeletableFile held((in() / "VENDA.FPI").string());
    if (!held.Held()) GTEST_SKIP() << "no chattr here";
    EXPECT_TRUE(Cycle());
    EXPECT_FALSE(Cycle());
    EXPECT_FALSE(Cycle());
    held.Release();
    EXPECT_EQ(Trace().size() - 4, 1u);  // one sale, then two idle polls (2 calls each)
    EXPECT_NE(Log().find(" - Arquivo (VENDA.FPI) executado e n\xE3o apagado."), std::string::npos);
    // A new file under the same name is a new command file.
    Drop("VENDA.FPI", {kOpen, "."});
    AgeFile(in() / "VENDA.FPI", -1min);
    EXPECT_TRUE(CycleUntilTaken());
    EXPECT_FALSE(fs::exists(in() / "VENDA.FPI"));
}

TEST_F(WorkerTest, TwoFilesOfOneNameWithinOneSecondKeepBothAnswers) {
    StartWorker();
    Drop("VENDA.FPI", {kOpen, "."});
    EXPECT_TRUE(Cycle());
    const std::string first = Response("VENDA_");
    // Taken once the clock shows another second, under a name of its own.
    Drop("VENDA.FPI", {kOpen, kCancelLast, "."});
    EXPECT_TRUE(CycleUntilTaken());
    auto names = FilesLike(out(), "VENDA_", ".fpo");
    std::sort(names.begin(), names.end());
    ASSERT_EQ(2u, names.size());
    EXPECT_EQ(first, ReadBytes(out() / names[0]));
    EXPECT_EQ(first + "Line 2: 0|\r\r\n", ReadBytes(out() / names[1]));
}

TEST_F(WorkerTest, AFileWaitsWhileItsAnswerCannotBeWritten) {
    StartWorker();
    shared.SetDirectories((in() / "nowhere").string(), (out() / "nowhere").string());
    EXPECT_FALSE(Cycle());
    shared.SetDirectories(in().string(), (out() / "later").string());
    Drop("VENDA.FPI", {kCancelLast, "."});
    EXPECT_FALSE(Cycle());
    EXPECT_FALSE(Cycle());
    EXPECT_TRUE(fs::exists(in() / "VENDA.FPI"));
    const std::string log = Log();
    const auto waiting = log.find(" - Arquivo (VENDA.FPI) aguardando: n\xE3o foi poss\xEDvel criar o arquivo de resposta (");
    EXPECT_NE(waiting, std::string::npos) << log;
    EXPECT_EQ(log.find("aguardando", waiting + 40), std::string::npos) << "logged once";
    for (const std::string& call : Trace()) EXPECT_EQ(call.find("Cancelar"), std::string::npos) << call;

    fs::create_directories(out() / "later");
    EXPECT_TRUE(Cycle());
    EXPECT_FALSE(fs::exists(in() / "VENDA.FPI"));
    EXPECT_EQ(FilesLike(out() / "later", "VENDA_", ".fpo").size(), 1u);
}

TEST_F(WorkerTest, BadInputNeverBreaksTheWorker) {
    StartWorker();
    std::string binary;
    for (int i = 0; i < 100000; ++i) binary += static_cast<char>((i * 31 + 7) % 256);
    std::replace(binary.begin(), binary.end(), '\x1A', '\x1B');  // Ctrl-Z would end the text
    WriteBytes(in() / "BIN.FPI", binary + "\r\n.");
    EXPECT_TRUE(Cycle());
    EXPECT_FALSE(fs::exists(in() / "BIN.FPI"));
    std::string many = "TORVA_Autenticar_Imprimir|";
    for (int i = 0; i < 40; ++i) many += "p|";
    // A NUL ends the line's text, as it does for a C-string reader: the
    // parameter loses its closing bar.
    // (Not NUL.FPI: Windows reserves that name for its null device.)
    WriteBytes(in() / "NULO.FPI", "/NOSTOP\r\n" + std::string("TORVA_Autenticar_Imprimir|a\0b|\r\n", 32) + many + "\r\n.");
    EXPECT_TRUE(Cycle());
    EXPECT_EQ(Response("NULO_"), "Line 2: " + kWrongCount + "Line 3: " + kWrongCount);
}

TEST_F(WorkerTest, IdlePollSwitchesTheDriverLogAroundTheStatusQuery) {
    StartWorker();
    EXPECT_FALSE(Cycle());
    EXPECT_TRUE(shared.printerOnline);
    driverLogSetting = 2;
    EXPECT_FALSE(Cycle());
    EXPECT_EQ(Trace(), (std::vector<std::string>{"TORVA_Sys_Log||0|", "TORVA_Obter_Estado_Impressora|<out>|",
                                                 "TORVA_Sys_Log||0|", "TORVA_Obter_Estado_Impressora|<out>|",
                                                 "TORVA_Sys_Log||2000|"}));
    Script({"TORVA_Obter_Estado_Impressora|5|"});
    EXPECT_FALSE(Cycle());
    EXPECT_FALSE(shared.printerOnline);
}

TEST_F(WorkerTest, DriverLogCommandIsRestoredByEveryIdlePoll) {
    StartWorker();
    EXPECT_EQ(Run({"TORVA_Sys_Log|/var/log/torva|1|", "."}), "Line 1: 0|\r\r\n");
    ClearTrace();
    EXPECT_FALSE(Cycle());
    EXPECT_EQ(Trace(), (std::vector<std::string>{"TORVA_Sys_Log||0|", "TORVA_Obter_Estado_Impressora|<out>|",
                                                 "TORVA_Sys_Log|/var/log/torva|1000|"}));
    Run({"TORVA_Sys_Log|x|7|", "."});
    ClearTrace();
    EXPECT_FALSE(Cycle());
    EXPECT_EQ(Trace().size(), 2u);
    // A checking pass leaves the setting alone.
    Run({"/PRE", "TORVA_Sys_Log|y|2|", "NOPE", "."});
    EXPECT_EQ(worker->Engine().driverLog.level, 7);
}

TEST_F(WorkerTest, BindingLogsAMissingLibraryAndReportsIt) {
    environment.driverLibrary = root / "nowhere.so";
    engine::Worker lone(shared, environment);
    EXPECT_EQ(lone.Start(), engine::WorkerEnd::DriverNotLoaded);
    const std::string log = Log();
    EXPECT_EQ(log.substr(17), " - Carregando DLL\r\r\nErro! Dll InterfaceTorva n\xE3o encontrada.\r\r\n");
    EXPECT_EQ(errors, std::vector<std::string>{std::string(texts::kErrorTitle) + "|" + texts::kLibraryLoadFailed});
}

TEST_F(WorkerTest, MissingEntryPointsAreLoggedInOrderAndAnsweredWithoutACall) {
    environment.driverLibrary = PrinterLibrary("Partial");
    StartWorker();
    EXPECT_EQ(Log().substr(17),
              " - Carregando DLL\r\r\n"
              "Erro! Metodo n\xE3o encontrado. TORVA_Config_Habilita_EAD\r\r\n"
              "Erro! Metodo n\xE3o encontrado. TORVA_Display_Cursor\r\r\n");
    EXPECT_EQ(Run({"TORVA_Display_Cursor|1|2|3|", kCancelLast, "."}),
              "Line 1: 3|Erro! Metodo n\xE3o encontrado. TORVA_Display_Cursor|\r\r\n");
    EXPECT_EQ(Run({"/PRE", "TORVA_Display_Cursor|1|2|3|", kCancelLast, "."}),
              "Line 2: 3|Erro! Metodo n\xE3o encontrado. TORVA_Display_Cursor|\r\r\n");
    EXPECT_TRUE(Trace().empty());
}

TEST_F(WorkerTest, APortThatCannotBeOpenedEndsTheWorkerAfterTheMessage) {
    Script({"TORVA_Serial_Abrir_PortaEX|4|"});
    shared.agentRunning = true;
    engine::Worker lone(shared, environment);
    EXPECT_EQ(lone.Start(), engine::WorkerEnd::PortNotOpened);
    EXPECT_FALSE(shared.agentRunning);
    EXPECT_EQ(errors, std::vector<std::string>{std::string(texts::kAgentErrorTitle) + "|" + texts::kPortOpenFailed});
    EXPECT_TRUE(Log().ends_with(" - Thread encerrada, erro de comunica\xE7\xE3o com a impressora.\r\r\n"));
    EXPECT_EQ(Trace(), std::vector<std::string>{"TORVA_Serial_Abrir_PortaEX|"});
}

TEST_F(WorkerTest, ALibraryWithoutThePortCallCannotStart) {
    environment.driverLibrary = PrinterLibrary("NoWorker");
    engine::Worker lone(shared, environment);
    EXPECT_EQ(lone.Start(), engine::WorkerEnd::PortNotOpened);
    EXPECT_TRUE(Trace().empty());
}

TEST_F(WorkerTest, ALibraryWithoutPollingCallsStaysOffLineAndStopsCleanly) {
    environment.driverLibrary = PrinterLibrary("NoPoll");
    StartWorker();
    driverLogSetting = 2;
    shared.printerOnline = true;
    EXPECT_FALSE(Cycle());
    EXPECT_FALSE(shared.printerOnline);
    worker->Stop();
    EXPECT_TRUE(Trace().empty());
    EXPECT_TRUE(Log().ends_with(" - Thread encerrada normalmente.\r\r\n"));
}

// One file with every command of every family, as a POS would write it.
TEST_F(WorkerTest, EveryCommandRunsFromOneCommandFile) {
    StartWorker();
    Script({"*|0|7|7|7|7|"});
    std::vector<std::string> lines{"/NOSTOP"};
    std::string expected;
    for (const commands::Family& family : commands::Families()) {
        for (const commands::CommandRow& row : family.rows()) {
            std::string line = row.name + std::string("|");
            for (int i = 0; i < row.parameterCount; ++i) line += "1|";
            lines.push_back(line);
            const std::string number = "Line " + std::to_string(lines.size()) + ": ";
            if (row.rule == commands::RowRule::NeverExecuted) {
                expected += number + kWrongCount;
                continue;
            }
            expected += number + "0|";
            for (int i = 0; i < row.kindCount; ++i) {
                const commands::KindId id = row.kinds[i].id;
                if (!commands::IsParameter(id)) expected += id == commands::KindId::OutFlag ? "S|" : "7|";
            }
            expected += "\r\r\n";
        }
    }
    lines.push_back(".");
    EXPECT_EQ(Run(lines), expected);
    EXPECT_EQ(Trace().size(), 191u);
}

TEST_F(WorkerTest, TheThreadRunsFilesAndStopsInOrder) {
    Drop("VENDA.FPI", {kCancelLast, "."});
    engine::WorkerEnd end{};
    std::thread thread([&] { end = engine::AgentThreadMain(shared, environment); });
    for (int i = 0; i < 2000 && fs::exists(in() / "VENDA.FPI"); ++i) std::this_thread::sleep_for(5ms);
    for (int i = 0; i < 2000 && !shared.agentRunning; ++i) std::this_thread::sleep_for(1ms);
    shared.RequestStop();
    thread.join();
    EXPECT_EQ(end, engine::WorkerEnd::Stopped);
    EXPECT_EQ(Response("VENDA_"), "Line 1: 0|\r\r\n");
    const std::string log = Log();
    EXPECT_NE(log.find(" - Thread iniciada.\r\r\n"), std::string::npos);
    EXPECT_TRUE(log.ends_with(" - Thread encerrada normalmente.\r\r\n"));
    EXPECT_EQ(Trace().back(), "TORVA_Serial_Fechar_Porta|");
}

TEST_F(WorkerTest, AStopAskedForWhileStartingIsNotLost) {
    shared.RequestStop();
    EXPECT_EQ(engine::AgentThreadMain(shared, environment), engine::WorkerEnd::Stopped);
    EXPECT_FALSE(shared.agentRunning);
    EXPECT_FALSE(shared.stopRequested);
}

}  // namespace
}  // namespace zentrada::testing

namespace zentrada::testing {
namespace {

using namespace std::chrono_literals;

class IdleWaitTest : public AgentFixture {
protected:
    std::size_t StatusQueries() const {
        const auto trace = Trace();
        return std::count(trace.begin(), trace.end(), "TORVA_Obter_Estado_Impressora|<out>|");
    }
    static bool Within(std::chrono::milliseconds bound, const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (!condition() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
        return condition();
    }
    // Written aside and renamed into place, as a point of sale should.
    void Arrive(const std::string& name, const std::vector<std::string>& lines) {
        WriteBytes(root / "arriving.tmp", CrLf(lines));
        fs::rename(root / "arriving.tmp", in() / name);
    }
};

// With an idle pause far longer than the test may take, a file that
// arrives is still answered at once; files that wake the worker without
// being ready make it scan, not ask the printer more often.
TEST_F(IdleWaitTest, AnArrivingFileEndsThePauseButThePrinterIsPolledNoMoreOften) {
    environment.idlePause = 20s;
    std::thread thread([&] { engine::AgentThreadMain(shared, environment); });
    ASSERT_TRUE(Within(5s, [&] { return shared.agentRunning && StatusQueries() == 1; }));
    for (int i = 0; i < 5; ++i) WriteBytes(in() / ("PARCIAL" + std::to_string(i) + ".FPI"), "TORVA_Fiscal_Cancelar_Cupom|\r\n");
    Arrive("VENDA.FPI", {"TORVA_Fiscal_Cancelar_Ultimo_Item|", "."});
    EXPECT_TRUE(Within(5s, [&] { return !fs::exists(in() / "VENDA.FPI"); }));
    // After a file the printer is asked at once, as before; then not again
    // for the whole pause, however often the directory changes.
    EXPECT_TRUE(Within(5s, [&] { return StatusQueries() == 2; }));
    for (int i = 0; i < 5; ++i) WriteBytes(in() / ("PARCIAL" + std::to_string(i) + ".FPI"), "TORVA_Fiscal_Cancelar_Cupom|\r\n");
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(StatusQueries(), 2u);
    shared.RequestStop();
    WriteBytes(in() / "PARCIAL0.FPI", "");  // wakes the worker to see the stop
    thread.join();
    EXPECT_EQ(Response("VENDA_"), "Line 1: 0|\r\r\n");
}

// An input directory that cannot be watched (it does not exist yet) is
// looked at after each timed pause, and watched once it exists.
TEST_F(IdleWaitTest, ADirectoryThatCannotBeWatchedIsStillScannedAfterEachPause) {
    fs::remove_all(in());
    environment.idlePause = 20ms;
    std::thread thread([&] { engine::AgentThreadMain(shared, environment); });
    ASSERT_TRUE(Within(5s, [&] { return shared.agentRunning.load(); }));
    std::this_thread::sleep_for(100ms);
    fs::create_directories(in());
    Arrive("VENDA.FPI", {"TORVA_Fiscal_Cancelar_Ultimo_Item|", "."});
    EXPECT_TRUE(Within(5s, [&] { return !fs::exists(in() / "VENDA.FPI"); }));
    shared.RequestStop();
    thread.join();
    EXPECT_EQ(Response("VENDA_"), "Line 1: 0|\r\r\n");
}

// A lookup of one file gives what a listing gives of it, for exactly that
// name: not another letter case, not a pattern, not a directory.
TEST(FindFileTest, GivesTheListedEntryOfExactlyThatName) {
    TempDir root;
    WriteBytes(root.Path() / "VENDA.FPI", "TORVA|\r\n");
    fs::create_directories(root.Path() / "PASTA.FPI");
    const auto listed = platform::ListFiles(root.Path().string());
    ASSERT_EQ(listed.size(), 1u);
    const std::pair<const char*, bool> cases[] = {{"VENDA.FPI", true},  {"venda.fpi", false}, {"VENDA.FP?", false},
                                                  {"*.FPI", false},     {"PASTA.FPI", false}, {"NADA.FPI", false}};
    for (const auto& [name, found] : cases) {
        const auto entry = platform::FindFile(root / name);
        ASSERT_EQ(entry.has_value(), found) << name;
        if (!entry) continue;
        EXPECT_EQ(entry->name, listed[0].name);
        EXPECT_EQ(entry->size, listed[0].size);
        EXPECT_EQ(entry->lastWriteNs, listed[0].lastWriteNs);
        EXPECT_EQ(engine::FormatStamp(entry->lastWrite), engine::FormatStamp(listed[0].lastWrite));
    }
}

// The names a watch gives for each kind of change, and when they cannot be
// the whole story: the first take, another directory, the directory
// removed or replaced.
TEST(DirectoryWatchTest, NamesEveryChangeAndTellsWhenTheDirectoryMustBeListed) {
    TempDir root;
    const fs::path in = root.Path() / "shop" / "in";
    fs::create_directories(in);
    platform::DirectoryWatch watch;
    // Notifications may come a little later than the change (Windows).
    const auto take = [&](const std::function<bool(const platform::DirectoryChanges&)>& done) {
        platform::DirectoryChanges all{true, {}};
        for (int i = 0; i < 500; ++i) {
            const auto changes = watch.TakeChanges(in.string());
            all.complete = all.complete && changes.complete;
            all.names.insert(all.names.end(), changes.names.begin(), changes.names.end());
            if (done(all)) break;
            std::this_thread::sleep_for(10ms);
        }
        return all;
    };
    const auto named = [](const platform::DirectoryChanges& changes, const std::string& name) {
        return std::count(changes.names.begin(), changes.names.end(), name) != 0;
    };
    EXPECT_FALSE(watch.TakeChanges(in.string()).complete);
    EXPECT_TRUE(watch.TakeChanges(in.string()).complete);

    struct Case {
        const char* what;
        std::function<void()> change;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"created", [&] { WriteBytes(in / "A.FPI", "TORVA|\r\n"); }, {"A.FPI"}},
        {"written", [&] { std::ofstream(in / "A.FPI", std::ios::app) << ".\r\n"; }, {"A.FPI"}},
        {"renamed in",
         [&] {
             WriteBytes(root.Path() / "b.tmp", ".\r\n");
             fs::rename(root.Path() / "b.tmp", in / "B.FPI");
         },
         {"B.FPI"}},
        {"renamed within", [&] { fs::rename(in / "B.FPI", in / "C.FPI"); }, {"B.FPI", "C.FPI"}},
        {"renamed out", [&] { fs::rename(in / "C.FPI", root.Path() / "C.FPI"); }, {"C.FPI"}},
        {"deleted", [&] { fs::remove(in / "A.FPI"); }, {"A.FPI"}},
    };
    for (const Case& c : cases) {
        c.change();
        const auto changes = take([&](const platform::DirectoryChanges& all) {
            return std::all_of(c.names.begin(), c.names.end(),
                               [&](const std::string& name) { return named(all, name); });
        });
        EXPECT_TRUE(changes.complete) << c.what;
        for (const std::string& name : c.names) EXPECT_TRUE(named(changes, name)) << c.what << ": " << name;
    }

    const fs::path other = root.Path() / "other";
    fs::create_directories(other);
    EXPECT_FALSE(watch.TakeChanges(other.string()).complete) << "another directory";
    EXPECT_FALSE(watch.TakeChanges(in.string()).complete) << "the first one again";
    const std::pair<const char*, std::function<void()>> replacements[] = {
        {"removed and made again",
         [&] {
             fs::remove_all(in);
             fs::create_directories(in);
         }},
        {"renamed away, another in its place",
         [&] {
             fs::rename(in, root.Path() / "old");
             fs::create_directories(in);
         }},
        {"its parent renamed, another in its place",
         [&] {
             fs::rename(in.parent_path(), root.Path() / "old-shop");
             fs::create_directories(in);
         }},
    };
    for (const auto& [what, replace] : replacements) {
        WriteBytes(in / "OLD.FPI", ".\r\n");
        take([&](const platform::DirectoryChanges& all) { return named(all, "OLD.FPI"); });
        replace();
        // What the old directory held is no longer at the path: it is
        // named, or the directory is to be listed.
        const auto gone = take([&](const platform::DirectoryChanges& all) {
            return !all.complete || named(all, "OLD.FPI");
        });
        EXPECT_TRUE(!gone.complete || named(gone, "OLD.FPI")) << what;
        // Watched again: the new directory's changes are named.
        WriteBytes(in / "D.FPI", ".\r\n");
        const auto changes = take([&](const platform::DirectoryChanges& all) { return named(all, "D.FPI"); });
        EXPECT_TRUE(changes.complete && named(changes, "D.FPI")) << what;
        fs::remove(in / "D.FPI");
    }
}

}  // namespace
}  // namespace zentrada::testing
