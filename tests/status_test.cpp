#include <optional>

#include "agent_fixture.h"
#include "engine/status_publisher.h"
#include "shell/status_report.h"

namespace zentrada::testing {
namespace {

class StatusTest : public AgentFixture {
protected:
    std::map<std::string, double, std::less<>> Samples() const {
        return shell::ParseStatusSamples(ReadBytes(root / "zentrada_estado.prom"));
    }
};

// What the worker counts reaches the file as the monitoring reads it: files
// and lines by outcome, the time each file took, the printer, the
// directories; a monitoring directory that is missing is logged once and
// written once it is there.
TEST_F(StatusTest, CountsFilesAndLinesByOutcome) {
    environment.statusPath = root / "zentrada_estado.prom";
    environment.metricsPath = (root.Path() / "textfile" / "zentrada.prom").string();
    shared.status.Start(engine::UnixNow());
    const engine::AgentLog agentLog(environment.logPath);
    auto publisher = std::make_unique<engine::StatusPublisher>(shared, environment, agentLog);
    StartWorker();
    Script({"TORVA_Fiscal_Abrir_Cupom|9|"});
    Run({"TORVA_Fiscal_Cancelar_Ultimo_Item", "TORVA_Fiscal_Cancelar_Ultimo_Item", "."});  // 2 successes
    Run({"TORVA_Fiscal_Abrir_Cupom|A|B|C|D|07|", "TORVA_Fiscal_Cancelar_Ultimo_Item", "."});  // driver 9, stops
    Run({"/NOSTOP", "NOPE|", "TORVA_Fiscal_Cancelar_Ultimo_Item", "."});  // agent's 3, then a success
    Run({"/PRE", "NOPE|", "."});  // rejected
    Drop("LENTO.FPI", {"TORVA_Fiscal_Cancelar_Ultimo_Item"});  // no end marker yet: waits
    EXPECT_FALSE(Cycle());  // idle: the printer answers
    fs::create_directories(root.Path() / "textfile");
    publisher.reset();

    const auto samples = Samples();
    const std::map<std::string, double, std::less<>> expected = {
        {"zentrada_agent_running", 1},
        {"zentrada_printer_online", 1},
        {"zentrada_files_answered_total", 2},
        {"zentrada_files_failed_total", 2},
        {"zentrada_lines_total{outcome=\"success\"}", 3},
        {"zentrada_lines_total{outcome=\"driver_status\"}", 1},
        {"zentrada_lines_total{outcome=\"agent_error\"}", 2},
        {"zentrada_file_duration_seconds_count", 4},
        {"zentrada_file_duration_seconds_bucket{le=\"+Inf\"}", 4},
        {"zentrada_files_waiting", 1},
        {"zentrada_directory_present{directory=\"output\"}", 1},
        {"zentrada_directory_writable{directory=\"input\"}", 1},
        {"zentrada_files_interrupted_total", 0},
    };
    for (const auto& [name, value] : expected) {
        const auto found = samples.find(name);
        ASSERT_NE(found, samples.end()) << name;
        EXPECT_EQ(value, found->second) << name;
    }
    EXPECT_GT(samples.at("zentrada_last_file_time_seconds"), samples.at("zentrada_start_time_seconds") - 1);
    EXPECT_EQ(ReadBytes(root / "zentrada_estado.prom").substr(0, 300),
              ReadBytes(root.Path() / "textfile" / "zentrada.prom").substr(0, 300));
    const std::string log = Log();
    EXPECT_EQ(log.find("MetricsDirectory"), log.rfind("MetricsDirectory")) << "logged once: " << log;
    EXPECT_NE(log.find("MetricsDirectory"), std::string::npos);
}

// --status reads the file the agent wrote: running with the printer on line
// or off line, stopped in order, gone (its status stale) or never started.
TEST(StatusReport, TellsRunningStoppedStaleOrMissing) {
    const double now = 1'800'000'000;
    const auto text = [&](bool running, bool online, double written) {
        engine::StatusSnapshot status;
        status.startTime = now - 3600;
        status.agentRunning = running;
        status.printerOnline = online;
        status.filesAnswered = 7;
        return engine::FormatStatus(status, {"9.8.7", "zentrada", "x86_64"}, written);
    };
    struct Case {
        std::optional<std::string> status;
        int exitStatus;
        std::string firstWords;
    };
    const Case cases[] = {
        {text(true, true, now - 1), 0, "Agente: em execu\xE7\xE3o desde "},
        {text(true, false, now - 1), 1, "Agente: em execu\xE7\xE3o desde "},
        {text(false, true, now - 1), 2, "Agente: parado desde "},
        {text(true, true, now - 125), 2, "Agente: n\xE3o est\xE1 em execu\xE7\xE3o; o estado foi gravado pela \xFAltima vez h\xE1 2 min 5 s"},
        {std::nullopt, 2, "Agente: n\xE3o est\xE1 em execu\xE7\xE3o; estado n\xE3o encontrado em /x/zentrada_estado.prom."},
        {"# cut short before any sample\n", 2, "Agente: n\xE3o est\xE1 em execu\xE7\xE3o; estado n\xE3o encontrado"},
    };
    for (const Case& c : cases) {
        const shell::StatusReport report =
            shell::ReportStatus(c.status ? &*c.status : nullptr, "/x/zentrada_estado.prom", now);
        EXPECT_EQ(c.exitStatus, report.exitStatus) << report.text;
        EXPECT_TRUE(report.text.starts_with(c.firstWords)) << report.text;
    }
    const shell::StatusReport running = shell::ReportStatus(&*cases[0].status, "", now);
    EXPECT_NE(running.text.find("(zentrada 9.8.7)"), std::string::npos) << running.text;
    EXPECT_NE(running.text.find("Desde o in\xED" "cio: 7 respondidos, 0 com falha"), std::string::npos) << running.text;
    EXPECT_NE(running.text.find("\xDAltimo arquivo respondido: nenhum"), std::string::npos) << running.text;
}

}  // namespace
}  // namespace zentrada::testing
