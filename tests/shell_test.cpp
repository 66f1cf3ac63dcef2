// The panel's portable parts: starting and stopping the worker so that two
// runs never overlap and a shut-down waits within its bound, and the log as
// the viewer shows it.
#include <algorithm>
#include <atomic>
#include <thread>

#include "agent_fixture.h"
#include "shell/log_text.h"
#include "shell/worker_control.h"

namespace zentrada::testing {
namespace {

using namespace std::chrono_literals;

class WorkerControlTest : public AgentFixture {
protected:
    void TearDown() override {
        SetEnvironment("TORVA_DELAY_MS", "");
        AgentFixture::TearDown();
    }
    shell::WorkerControl& Control() {
        if (!control)
            control = std::make_unique<shell::WorkerControl>(shared, environment,
                                                             [this](engine::WorkerEnd end) { ends.push_back(end); });
        return *control;
    }
    std::size_t Count(const std::string& call) const {
        const auto trace = Trace();
        return std::count_if(trace.begin(), trace.end(), [&](const std::string& line) { return line.starts_with(call); });
    }
    template <class Condition>
    static bool Eventually(Condition condition) {
        for (int i = 0; i < 3000 && !condition(); ++i) std::this_thread::sleep_for(5ms);
        return condition();
    }

    std::vector<engine::WorkerEnd> ends;  // written by the worker, read after it ended
    std::unique_ptr<shell::WorkerControl> control;
};

// "Iniciar" right after "Parar", while the stopped run still executes a
// slow file: the file is finished, the port closed, and only then does the
// new run open it; no driver call of one run overlaps one of the other.
TEST_F(WorkerControlTest, ARunStartedWhileAStoppedOneFinishesWaitsForIt) {
    SetEnvironment("TORVA_DELAY_MS", "150");
    Drop("VENDA.FPI", {"TORVA_Fiscal_Cancelar_Ultimo_Item", "TORVA_Fiscal_Cancelar_Ultimo_Item",
                       "TORVA_Fiscal_Cancelar_Ultimo_Item", "TORVA_Fiscal_Cancelar_Ultimo_Item", "."});
    ASSERT_EQ(Control().Start(), shell::WorkerControl::StartResult::Started);
    EXPECT_EQ(Control().Start(), shell::WorkerControl::StartResult::AlreadyRunning);
    ASSERT_TRUE(Eventually([&] { return Count("TORVA_Fiscal_Cancelar_Ultimo_Item") >= 1; }));
    Control().RequestStop();
    ASSERT_EQ(Control().Start(), shell::WorkerControl::StartResult::Started);
    // A shut-down's wait is bounded: the first run is inside a slow call.
    EXPECT_FALSE(Control().WaitForEnd(10ms));
    ASSERT_TRUE(Eventually([&] { return Count("TORVA_Serial_Abrir_PortaEX") == 2 && shared.agentRunning; }));
    Control().RequestStop();
    ASSERT_TRUE(Control().WaitForEnd(30s));

    const auto trace = Trace();
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "TORVA_Fiscal_Cancelar_Ultimo_Item|"), 4);
    EXPECT_EQ(std::count_if(trace.begin(), trace.end(), [](const std::string& l) { return l.starts_with("!overlap"); }),
              0);
    const auto firstClose = std::find(trace.begin(), trace.end(), "TORVA_Serial_Fechar_Porta|");
    const auto secondOpen = std::find(std::next(std::find(trace.begin(), trace.end(), "TORVA_Serial_Abrir_PortaEX|")),
                                      trace.end(), "TORVA_Serial_Abrir_PortaEX|");
    EXPECT_LT(firstClose, secondOpen);
    EXPECT_EQ(Response("VENDA_"), "Line 1: 0|\r\r\nLine 2: 0|\r\r\nLine 3: 0|\r\r\nLine 4: 0|\r\r\n");
    EXPECT_EQ(ends, (std::vector{engine::WorkerEnd::Stopped, engine::WorkerEnd::Stopped}));
}

// Started and stopped again before its turn came, a run never binds the
// library, and a stop of the earlier run does not stop the later one.
TEST_F(WorkerControlTest, ARunStoppedBeforeItsTurnNeverTouchesTheLibrary) {
    SetEnvironment("TORVA_DELAY_MS", "100");
    ASSERT_EQ(Control().Start(), shell::WorkerControl::StartResult::Started);
    ASSERT_TRUE(Eventually([&] { return shared.agentRunning.load(); }));
    Control().RequestStop();
    ASSERT_EQ(Control().Start(), shell::WorkerControl::StartResult::Started);
    Control().RequestStop();
    ASSERT_EQ(Control().Start(), shell::WorkerControl::StartResult::Started);
    ASSERT_TRUE(Eventually([&] { return Count("TORVA_Serial_Abrir_PortaEX") == 2 && shared.agentRunning; }));
    EXPECT_TRUE(Control().HasLiveWorker());
    Control().RequestStop();
    ASSERT_TRUE(Control().WaitForEnd(30s));
    EXPECT_FALSE(Control().HasLiveWorker());
    EXPECT_EQ(Count("TORVA_Serial_Abrir_PortaEX"), 2u);
    EXPECT_EQ(Count("TORVA_Serial_Fechar_Porta"), 2u);
    EXPECT_EQ(ends.size(), 2u);
}

TEST(LogTextForViewer, EveryLineBreaksOnceAndNothingIsLeftOut) {
    const std::string longLine(4000, 'x');
    const struct {
        std::string bytes, shown;
    } cases[] = {
        {"", ""},
        {"12/07/26 10:00:00 - Thread iniciada.\r\r\n", "12/07/26 10:00:00 - Thread iniciada.\r\n"},
        {"a\r\r\nb\r\r\n", "a\r\nb\r\n"},
        {"bare\nlf\r\n", "bare\r\nlf\r\n"},
        {longLine + "\r\r\n", longLine + "\r\n"},
        {std::string("nul\0after\r\r\n", 12), "nul after\r\n"},
        {"ctrl-z\x1A still shown\r\r\n", "ctrl-z\x1A still shown\r\n"},
        {"no end", "no end"},
    };
    for (const auto& c : cases) EXPECT_EQ(shell::LogTextForViewerFromBytes(c.bytes), c.shown) << c.bytes;

    TempDir dir;
    EXPECT_EQ(shell::LogTextForViewer(dir / "missing.txt"), "");
    WriteBytes(dir / "log.txt", "a\r\r\n");
    EXPECT_EQ(shell::LogTextForViewer(dir / "log.txt"), "a\r\n");
}

}  // namespace
}  // namespace zentrada::testing
