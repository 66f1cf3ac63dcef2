// The virtual printer as the agent drives it: real sales, reports and
// queries from command files, the state errors a printer gives, its memory
// across restarts, and the faults a developer asks for.
#include <future>
#include <thread>

#include "agent_fixture.h"

namespace zentrada::testing {
namespace {

using namespace std::chrono_literals;

class PrinterTest : public AgentFixture {
protected:
    void SetUp() override {
        AgentFixture::SetUp();
        SetEnvironment("TORVA_MODE", "");
        SetEnvironment("TORVA_PRINTER_DIR", root / "printer");
        fs::create_directories(root / "printer");
    }
    void TearDown() override {
        for (const char* name : {"TORVA_PRINTER_DIR", "TORVA_OFFLINE", "TORVA_PORT_FAILURE", "TORVA_FAULTS"})
            SetEnvironment(name, "");
        AgentFixture::TearDown();
    }
    std::string Roll() const { return ReadBytes(root.Path() / "printer" / "bobina.txt"); }
    static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
};

const std::vector<std::string> kSale = {
    "TORVA_Fiscal_Abrir_Cupom|12345678909|Maria Silva|Rua das Flores, 10||0|",
    "TORVA_Fiscal_Vender_Item|7891000100103|CAFE TORRADO 500G|T1|0|2|UN|1490|D%|1000|",
    "TORVA_Fiscal_Vender_Item|7891000200200|ACUCAR 1KG|T2|3|1,500|KG|400|||",
    "TORVA_Fiscal_Desconto_Acrescimo_Subtotal|desconto|82|0|0|",
    "TORVA_Fiscal_Obter_SubTotal|",
    "TORVA_Fiscal_Pagamento|Cartao|20,00|0|||",
    "TORVA_Fiscal_Pagamento|Dinheiro|20,00|0|||",
    "TORVA_Fiscal_Fechar_CupomEX|",
    ".",
};

// 2 x 14,90 less 10 % = 26,82; 1,5 kg x 4,00 = 6,00; less 0,82 on the
// subtotal = 32,00; paid 40,00, change 8,00. The GT grows by the gross,
// 35,80; the subtotal discount is shared over the rates, 0,67 on T1 and
// 0,15 on T2 (0,14 and a left-over cent), so they add up to the net.
TEST_F(PrinterTest, ACompleteSaleMovesTheTotalsAndPrintsTheReceipt) {
    StartWorker();
    EXPECT_EQ(Run(kSale), "Line 1: 0|\r\r\nLine 2: 0|\r\r\nLine 3: 0|\r\r\nLine 4: 0|\r\r\nLine 5: 0|32,00|\r\r\n"
                          "Line 6: 0|\r\r\nLine 7: 0|\r\r\nLine 8: 0|COO 000001|\r\r\n");
    EXPECT_EQ(Run({"TORVA_Obter_Total_Bruto|", "TORVA_Obter_Total_Descontos|", "TORVA_Obter_Total_Troco|",
                   "TORVA_Obter_GT|", "TORVA_Obter_Total_Aliquotas|", "TORVA_Obter_Contadores|",
                   "TORVA_Obter_Estado_Cupom|", "."}),
              "Line 1: 0|35,80|\r\r\nLine 2: 0|3,80|\r\r\nLine 3: 0|8,00|\r\r\nLine 4: 0|35,80|\r\r\n"
              "Line 5: 0|T1 26,15;T2 5,85;T3 0,00;S1 0,00;F 0,00;I 0,00;N 0,00|\r\r\n"
              "Line 6: 0|COO 000001;CCF 000001;GNF 000000;CRZ 0000;CRO 0001|\r\r\nLine 7: 0|fechado|\r\r\n");
    // A voucher paid by card, with its CCD; the day's totalisers follow.
    EXPECT_EQ(Run({"TORVA_NaoFiscal_Abrir_Comprovante|||||0|", "TORVA_NaoFiscal_Vender_Item|Recebimento|50,00|0|",
                   "TORVA_NaoFiscal_Pagamento|Cartao|50,00|0|||", "TORVA_NaoFiscal_Fechar_Comprovante|0|",
                   "TORVA_NaoFiscal_Abrir_CCD|Cartao|50,00|1||", "TORVA_NaoFiscal_Imprimir_Linha|final 1234|",
                   "TORVA_NaoFiscal_Fechar_CCD|0|", "TORVA_Obter_Contadores|", "."}),
              "Line 1: 0|\r\r\nLine 2: 0|\r\r\nLine 3: 0|\r\r\nLine 4: 0|\r\r\nLine 5: 0|\r\r\nLine 6: 0|\r\r\n"
              "Line 7: 0|\r\r\nLine 8: 0|COO 000003;CCF 000001;GNF 000002;CRZ 0000;CRO 0001|\r\r\n");
    const std::string roll = Roll();
    for (const char* line : {"LOJA DEMONSTRACAO LTDA", "CUPOM FISCAL", "001 7891000100103 CAFE TORRADO 500G",
                             "    2,000 UN x 14,90  T1                   29,80",
                             "TOTAL R$                                   32,00",
                             "TROCO R$                                    8,00", "CCF:000001"})
        EXPECT_TRUE(Has(roll, line)) << line << "\n" << roll;
}

// A printer refuses what its state does not allow: the stop rule ends the
// file at the refusal, /NOSTOP answers every line.
TEST_F(PrinterTest, StateErrorsStopTheFileOrRunOnUnderNoStop) {
    StartWorker();
    EXPECT_EQ(Run({"TORVA_Fiscal_Vender_Item|1|X|T1|0|1|UN|100|||", "TORVA_Fiscal_Abrir_Cupom|||||0|", "."}),
              "Line 1: 10|\r\r\n");
    EXPECT_EQ(Run({"/NOSTOP", "TORVA_Fiscal_Abrir_Cupom|||||0|", "TORVA_Fiscal_Vender_Item|1|X|T9|0|1|UN|100|||",
                   "TORVA_Fiscal_Vender_Item|1|X|T1|0|1|UN|1000|||", "TORVA_Fiscal_Fechar_CupomEX|",
                   "TORVA_Fiscal_Pagamento|Dinheiro|5,00|0|||", "TORVA_Fiscal_Fechar_CupomEX|",
                   "TORVA_Fiscal_Vender_Item|2|Y|T1|0|1|UN|100|||", "TORVA_Fiscal_Pagamento|Pix|5,00|0|||",
                   "TORVA_Fiscal_Pagamento|Dinheiro|5,00|0|||", "TORVA_Fiscal_Fechar_CupomEX|",
                   "TORVA_RelatorioFiscal_RZ|||0|", "TORVA_Obter_Mensagem_Erro|14|", "."}),
              "Line 2: 0|\r\r\nLine 3: 17|\r\r\nLine 4: 0|\r\r\nLine 5: 28||\r\r\nLine 6: 0|\r\r\n"
              "Line 7: 14||\r\r\nLine 8: 20|\r\r\nLine 9: 18|\r\r\nLine 10: 0|\r\r\nLine 11: 0|COO 000001|\r\r\n"
              "Line 12: 0|CRZ 0001;10,00|\r\r\n"
              "Line 13: 0|Pagamento incompleto: o total do cupom n\xE3o foi pago.|\r\r\n");
    // After the Z reduction the day is closed until it is opened again.
    EXPECT_EQ(Run({"/NOSTOP", "TORVA_Fiscal_Abrir_Cupom|||||0|", "TORVA_RelatorioFiscal_Abrir_Dia|",
                   "TORVA_Fiscal_Abrir_Cupom|||||0|", "TORVA_Obter_Contadores|", "TORVA_Obter_Total_Bruto|", "."}),
              "Line 2: 12|\r\r\nLine 3: 0|\r\r\nLine 4: 0|\r\r\n"
              "Line 5: 0|COO 000003;CCF 000001;GNF 000000;CRZ 0001;CRO 0001|\r\r\nLine 6: 0|0,00|\r\r\n");
    EXPECT_TRUE(Has(Roll(), "REDUCAO Z"));
}

// The memory is a file: a new worker, as after a restart of the agent,
// finds the receipt still open; a damaged memory is a status, not a crash.
TEST_F(PrinterTest, TheReceiptSurvivesARestartAndADamagedMemoryIsAStatus) {
    StartWorker();
    EXPECT_EQ(Run({kSale[0], kSale[1], "."}), "Line 1: 0|\r\r\nLine 2: 0|\r\r\n");
    worker->Stop();
    StartWorker();
    EXPECT_EQ(Run({"TORVA_Fiscal_Obter_SubTotal|", "TORVA_Obter_Tabela_Aliquotas_Cupom|",
                   "TORVA_Fiscal_Pagamento|Dinheiro|30,00|0|||", "TORVA_Fiscal_Fechar_Cupom|1|0|", "."}),
              "Line 1: 0|26,82|\r\r\nLine 2: 0|T1;T2;T3;S1|18,00;12,00;7,00;5,00|26,82;0,00;0,00;0,00|\r\r\n"
              "Line 3: 0|\r\r\nLine 4: 0|\r\r\n");
    for (const std::string& bytes : {std::string("lixo"), std::string("ZENTRADA IMPRESSORA VIRTUAL 1\ncoo=7\n"),
                                     std::string("ZENTRADA IMPRESSORA VIRTUAL 1\ncoo=x\nfim\n")}) {
        WriteBytes(root.Path() / "printer" / "impressora_virtual.txt", bytes);
        EXPECT_EQ(Run({"TORVA_Fiscal_Abrir_Cupom|||||0|", "."}), "Line 1: 40|\r\r\n") << bytes;
    }
    WriteBytes(root.Path() / "printer" / "impressora_virtual.txt", "ZENTRADA IMPRESSORA VIRTUAL 9\nfim\n");
    EXPECT_EQ(Run({"/NOSTOP", "TORVA_Obter_GT|", "TORVA_Obter_Mensagem_Erro|41|", "."}),
              "Line 2: 41||\r\r\nLine 3: 0|Mem\xF3ria da impressora virtual de outra vers\xE3o: apague o arquivo de "
              "estado para recome\xE7" "ar.|\r\r\n");
}

// What the agent shows of each fault: the printer off line, a port that
// will not open, a call that does not return until released.
TEST_F(PrinterTest, FaultsShowAsTheAgentSeesThem) {
    StartWorker();
    EXPECT_FALSE(Cycle());
    EXPECT_TRUE(shared.printerOnline);
    SetEnvironment("TORVA_OFFLINE", "1");
    EXPECT_FALSE(Cycle());
    EXPECT_FALSE(shared.printerOnline);
    SetEnvironment("TORVA_OFFLINE", "");

    SetEnvironment("TORVA_PORT_FAILURE", "1");
    engine::Worker second(shared, environment);
    EXPECT_EQ(second.Start(), engine::WorkerEnd::PortNotOpened);
    SetEnvironment("TORVA_PORT_FAILURE", "");

    const fs::path faults = root.Path() / "printer" / "falhas.txt";
    WriteBytes(faults, "stuck TORVA_Fiscal_Abrir_Cupom\n");
    Drop("VENDA.FPI", {kSale[0], "."});
    auto cycle = std::async(std::launch::async, [this] { return Cycle(); });
    EXPECT_EQ(cycle.wait_for(300ms), std::future_status::timeout);
    WriteBytes(faults, "# released\n");
    ASSERT_EQ(cycle.wait_for(10s), std::future_status::ready);
    EXPECT_TRUE(cycle.get());
    EXPECT_EQ(Response("VENDA_"), "Line 1: 0|\r\r\n");
}

}  // namespace
}  // namespace zentrada::testing
