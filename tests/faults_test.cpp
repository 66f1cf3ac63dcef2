// The virtual printer's faults on demand: which calls the faults file and
// the environment make fail, how counted statuses run out and start again,
// and that delays and stuck calls hold a call without holding the others.
#include "virtual_printer/faults.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "test_files.h"

namespace zentrada::testing {
namespace {

namespace faults = virtual_printer::faults;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr const char* kVariables[] = {"TORVA_FAULTS",       "TORVA_DELAY_MS",  "TORVA_OFFLINE",
                                      "TORVA_PORT_FAILURE", "TORVA_PAPER_OUT", "TORVA_STATUS"};

// A printer directory of its own, with no fault set from the environment.
class Faults : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* variable : kVariables) SetEnvironment(variable, "");
        SetEnvironment("TORVA_PRINTER_DIR", dir_.Path().string());
    }
    void TearDown() override {
        for (const char* variable : kVariables) SetEnvironment(variable, "");
        SetEnvironment("TORVA_PRINTER_DIR", "");
    }
    void WriteFaults(const std::string& text) { WriteBytes(dir_ / "falhas.txt", text); }
    // Puts the new text in place at once, as an editor that saves through a
    // new file does, so a call looking meanwhile never finds the file empty
    // between truncation and writing. Windows refuses the rename while a
    // call has the file open: then it tries again.
    void ReplaceFaults(const std::string& text) {
        const fs::path temporary = dir_ / "falhas.new";
        WriteBytes(temporary, text);
        std::error_code error;
        for (int attempt = 0; attempt < 100; ++attempt) {
            fs::rename(temporary, dir_ / "falhas.txt", error);
            if (!error) return;
            std::this_thread::sleep_for(milliseconds(10));
        }
        FAIL() << "cannot replace the faults file: " << error.message();
    }

    TempDir dir_;
};

// One call and its expected answer (none: the call runs). A step with
// `rewrite` set first writes that text as the faults file, or removes the
// file when the text is "-".
struct Step {
    std::string name;
    std::optional<std::int32_t> expected;
    const char* rewrite = nullptr;
};

// Calls the entry point on a thread of its own that is let go, so that a
// call that never returns fails the test instead of hanging it (the future
// of std::async would wait for it).
std::future<std::optional<std::int32_t>> CallAside(std::string name) {
    std::packaged_task<std::optional<std::int32_t>()> task(
        [name = std::move(name)] { return faults::BeforeCall(name); });
    std::future<std::optional<std::int32_t>> result = task.get_future();
    std::thread(std::move(task)).detach();
    return result;
}

struct Case {
    const char* what;
    std::string file;
    std::vector<std::pair<const char*, const char*>> environment;
    std::vector<Step> steps;
};

const std::string kOpen = "TORVA_Fiscal_Abrir_Cupom";
const std::string kSell = "TORVA_Fiscal_Vender_Item";

TEST_F(Faults, AnswerTheStatusesTheFileAndTheEnvironmentSet) {
    const std::vector<Case> cases = {
        {"once", "status " + kOpen + " 16 once\n", {}, {{kSell, {}}, {kOpen, 16}, {kOpen, {}}, {kOpen, {}}}},
        {"N times", "status " + kOpen + " 12 2\n", {}, {{kOpen, 12}, {kSell, {}}, {kOpen, 12}, {kOpen, {}}}},
        {"always by default", "status " + kOpen + " 40\n", {}, {{kOpen, 40}, {kOpen, 40}, {kOpen, 40}}},
        {"always, negative code", "status " + kOpen + " -5 always\n", {}, {{kOpen, -5}, {kOpen, -5}}},
        {"any entry point, first line that applies",
         "status " + kOpen + " 16 once\nstatus * 30 once\nstatus * 31\n",
         {},
         {{kOpen, 16}, {kOpen, 30}, {kSell, 31}, {kOpen, 31}}},
        {"comments, blank, CR LF and unknown lines",
         CrLf({"# status * 30", "", "   \t", "status " + kOpen, "status " + kOpen + " x", "status " + kOpen + " 16 0",
               "status " + kOpen + " 16 never", "status " + kOpen + " 16 once extra", "offline now", "paperout",
               "Status " + kSell + " 22 ONCE   # a comment", "DELAY 10"}),
         {},
         {{kOpen, {}}, {kSell, 22}, {kSell, {}}, {"TORVA_Obter_Estado_Impressora", {}}}},
        {"offline",
         "offline\n",
         {},
         {{"TORVA_Obter_Estado_Impressora", 31},
          {"TORVA_Obter_Estado_ImpressoraEX", 31},
          {"TORVA_Verifica_Impressora_Ligada", 31},
          {"TORVA_Serial_Abrir_PortaEX", 31},
          {kSell, 31},
          {"TORVA_Fiscal_Obter_SubTotal", 31},
          {"TORVA_Serial_Fechar_Porta", {}},
          {"TORVA_Obter_Mensagem_Erro", {}},
          {"TORVA_Obter_Versao_DLL", {}},
          {"TORVA_Sys_Log", {}}}},
        {"port",
         "port\n",
         {},
         {{"TORVA_Serial_Abrir_PortaEX", 32}, {"TORVA_Serial_Fechar_Porta", {}}, {kOpen, {}}}},
        {"paper out",
         "paper-out\n",
         {},
         {{kOpen, 30},
          {"TORVA_NaoFiscal_Imprimir_Linha", 30},
          {"TORVA_RelatorioFiscal_LeituraX", 30},
          {"TORVA_Cheque_Imprimir", 30},
          {"TORVA_Endosso_Estacao_Cheque", 30},
          {"TORVA_Autenticar_Imprimir", 30},
          {"TORVA_Impressora_Cortar_Papel", 30},
          {"TORVA_Impressora_Avancar_Papel", 30},
          {"TORVA_Fiscal_Obter_SubTotal", {}},
          {"TORVA_NaoFiscal_Obter_SubTotal", {}},
          {"TORVA_Obter_Estado_Impressora", {}},
          {"TORVA_Serial_Abrir_PortaEX", {}}}},
        {"status lines, then offline, then paper out",
         "paper-out\noffline\nport\nstatus " + kOpen + " 16\n",
         {},
         {{kOpen, 16}, {kSell, 31}, {"TORVA_Serial_Abrir_PortaEX", 31}}},
        {"environment switches",
         "",
         {{"TORVA_OFFLINE", "0"}, {"TORVA_PORT_FAILURE", "1"}, {"TORVA_PAPER_OUT", "1"}},
         {{"TORVA_Serial_Abrir_PortaEX", 32}, {kSell, 30}, {"TORVA_Obter_Estado_Impressora", {}}}},
        {"environment offline", "", {{"TORVA_OFFLINE", "1"}}, {{"TORVA_Obter_Estado_Impressora", 31}}},
        {"environment status after the file's",
         "status " + kOpen + " 12 once\n",
         {{"TORVA_STATUS", "TORVA_Fiscal_Abrir_Cupom:16"}, {"TORVA_OFFLINE", "1"}},
         {{kOpen, 12}, {kOpen, 16}, {kOpen, 16}, {kSell, 31}}},
        {"environment status for any entry point", "", {{"TORVA_STATUS", "*:22"}}, {{kOpen, 22}, {kSell, 22}}},
        {"a changed file starts the counts again",
         "status * 16 once\n",
         {},
         {{kOpen, 16},
          {kOpen, {}},
          {kOpen, 16, "status * 16 once \n"},
          {kOpen, {}},
          {kOpen, {}, "-"},
          {kOpen, 16, "status * 16 once\n"},
          {kSell, {}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;  // a file of its own, so even an equal text counts anew
        SetEnvironment("TORVA_PRINTER_DIR", dir.Path().string());
        for (const char* variable : kVariables) SetEnvironment(variable, "");
        for (const auto& [variable, value] : c.environment) SetEnvironment(variable, value);
        WriteBytes(dir / "falhas.txt", c.file);
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            if (step.rewrite != nullptr && std::string(step.rewrite) == "-") fs::remove(dir / "falhas.txt");
            else if (step.rewrite != nullptr) WriteBytes(dir / "falhas.txt", step.rewrite);
            EXPECT_EQ(faults::BeforeCall(step.name), step.expected) << "step " << i << ": " << step.name;
        }
    }
    // TORVA_FAULTS names the file instead of the printer's directory.
    const TempDir other;
    WriteBytes(other / "mine.txt", "status * 27\n");
    SetEnvironment("TORVA_PRINTER_DIR", dir_.Path().string());
    for (const char* variable : kVariables) SetEnvironment(variable, "");
    WriteFaults("status * 16\n");
    SetEnvironment("TORVA_FAULTS", other / "mine.txt");
    EXPECT_EQ(faults::BeforeCall(kOpen), 27);
    SetEnvironment("TORVA_FAULTS", "");
    EXPECT_EQ(faults::BeforeCall(kOpen), 16);
}

TEST_F(Faults, DelaysAndStuckCallsHoldOnlyTheirCall) {
    const auto timed = [](const std::string& name) {
        const auto start = steady_clock::now();
        const std::optional<std::int32_t> status = faults::BeforeCall(name);
        EXPECT_EQ(status, std::nullopt) << name;
        return std::chrono::duration_cast<milliseconds>(steady_clock::now() - start);
    };
    // Every delay that applies adds up: the file's, the entry point's and
    // the environment's.
    WriteFaults("delay 100\ndelay " + kOpen + " 150\n");
    SetEnvironment("TORVA_DELAY_MS", "50");
    EXPECT_GE(timed(kOpen), milliseconds(290));
    EXPECT_GE(timed(kSell), milliseconds(140));
    SetEnvironment("TORVA_DELAY_MS", "");
    WriteFaults("");
    EXPECT_LT(timed(kSell), milliseconds(1000));

    // A stuck call waits until its line is gone, then runs as the new file
    // says; calls of other entry points run meanwhile.
    WriteFaults("stuck " + kOpen + "\n");
    std::future<std::optional<std::int32_t>> stuck = CallAside(kOpen);
    EXPECT_EQ(stuck.wait_for(milliseconds(300)), std::future_status::timeout);
    std::future<std::optional<std::int32_t>> other = CallAside(kSell);
    EXPECT_EQ(other.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    ReplaceFaults("status " + kOpen + " 16 once\n");
    ASSERT_EQ(stuck.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(stuck.get(), 16);
    ASSERT_EQ(other.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(other.get(), std::nullopt);
}

}  // namespace
}  // namespace zentrada::testing
