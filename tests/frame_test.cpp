// The handler frame and every command row, run through the real binding
// against the virtual printer, whose trace shows each call as it arrived.
#include <gtest/gtest.h>

#include "test_files.h"
#include "commands/catalogue.h"
#include "commands/families.h"

namespace zentrada::commands {
namespace {

namespace fs = std::filesystem;
using testing::SetEnvironment;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

class Responses final : public ResponseSink {
public:
    void WriteResponse(const std::vector<std::string>& fields) override { records.push_back(fields); }
    std::vector<std::vector<std::string>> records;
};

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetEnvironment("TORVA_TRACE", dir / "trace.txt");
        SetEnvironment("TORVA_MODE", "recorder");
        SetEnvironment("TORVA_SCRIPT", dir / "script.txt");
        ASSERT_TRUE(driver::LoadDriverLibrary(testing::PrinterLibrary(), binding).loaded);
    }
    void TearDown() override {
        SetEnvironment("TORVA_TRACE", "");
        SetEnvironment("TORVA_SCRIPT", "");
    }

    std::int32_t Run(const std::string& name, std::vector<std::string> params, bool checkOnly = false) {
        CommandContext context{binding, responses, driverLog, checkOnly};
        const CatalogueEntry* entry = LookupCommand(name);
        if (entry == nullptr) {
            ADD_FAILURE() << name << " is not catalogued";
            return -2;
        }
        return RunEntry(*entry, params, context);
    }
    std::string Trace() { return ReadBytes(dir / "trace.txt"); }
    void Script(const std::string& text) { WriteBytes(dir / "script.txt", text); }

    TempDir dir;
    driver::DriverBinding binding;
    Responses responses;
    DriverLogSetting driverLog;
};

TEST_F(FrameTest, WrongCountIsRefusedInBothPassesWithoutACall) {
    for (bool checkOnly : {false, true}) {
        EXPECT_EQ(Run("TORVA_Fiscal_Obter_SubTotal", {""}, checkOnly), -1);
        EXPECT_EQ(Run("TORVA_Fiscal_Vender_ItemEX", std::vector<std::string>(9), checkOnly), -1);
        EXPECT_EQ(Run("TORVA_Fiscal_Vender_ItemEX", std::vector<std::string>(11), checkOnly), -1);
        EXPECT_EQ(Run("TORVA_Config_Dados_Sintegra", std::vector<std::string>(12), checkOnly), -1);
    }
    EXPECT_EQ(Trace(), "");
    EXPECT_TRUE(responses.records.empty());
}

TEST_F(FrameTest, CheckingPassValidatesOnly) {
    EXPECT_EQ(Run("TORVA_Fiscal_Vender_ItemEX", std::vector<std::string>(10), true), 1);
    EXPECT_EQ(Run("TORVA_Sys_Log", {"/x", "2"}, true), 1);
    EXPECT_EQ(driverLog.level, 0);
    EXPECT_EQ(Trace(), "");
    EXPECT_TRUE(responses.records.empty());
}

TEST_F(FrameTest, CodesNoFamilyRunsAreRefused) {
    for (bool checkOnly : {false, true}) {
        EXPECT_EQ(Run("TORVA_Serial_Obter_Estado_Com", {}, checkOnly), -1);
        EXPECT_EQ(Run("torva_serial_obter_estado_com", {"x"}, checkOnly), -1);
        EXPECT_EQ(Run(".", {}, checkOnly), 0);
    }
    for (std::size_t count : {0u, 1u, 5u})
        EXPECT_EQ(Run("TORVA_Verifica_Impressora_Ligada", std::vector<std::string>(count)), -1);
    EXPECT_EQ(Trace(), "");
    EXPECT_TRUE(responses.records.empty());
}

TEST_F(FrameTest, StatusIsReturnedAndRecordedUnchanged) {
    Script("TORVA_Impressora_Abrir_Gaveta|5|\nTORVA_Impressora_Cortar_Papel|-3|\n");
    EXPECT_EQ(Run("TORVA_Impressora_Abrir_Gaveta", {}), 5);
    EXPECT_EQ(Run("TORVA_Impressora_Cortar_Papel", {}), -3);
    EXPECT_EQ(responses.records, (std::vector<std::vector<std::string>>{{"5"}, {"-3"}}));
    EXPECT_EQ(Trace(), "TORVA_Impressora_Abrir_Gaveta|\nTORVA_Impressora_Cortar_Papel|\n");
}

TEST_F(FrameTest, ParametersAreConvertedByKind) {
    Run("TORVA_Fiscal_Fechar_Cupom", {"sim", "N"});
    Run("TORVA_Fiscal_Configurar_Codigo_Barras_Mensagem", std::vector<std::string>(6));
    Run("TORVA_RelatorioFiscal_ReducaoZ", {"a", "", ""});
    Run("TORVA_RelatorioFiscal_ReducaoZ", {"a", "", "sim"});
    Run("TORVA_Impressora_Avancar_Papel", {"3 linhas"});
    Run("TORVA_Config_Habilita_Logotipo", {"sim"});
    Run("TORVA_Config_Habilita_CAT52_Auto", {"sim"});
    Run("TORVA_Config_Habilita_CAT52_Auto", {"2"});
    Run("TORVA_NaoFiscal_Fechar_CCD", {"2"});
    Run("TORVA_Cheque_Endosso_EstacaoCFG", {"a", "b", "12x", "c", "N"});
    EXPECT_EQ(Trace(),
              "TORVA_Fiscal_Fechar_Cupom|1|0|\n"
              "TORVA_Fiscal_Configurar_Codigo_Barras_Mensagem|0|0|0|0|0|0|\n"
              "TORVA_RelatorioFiscal_ReducaoZ|a||0|<out>|\n"
              "TORVA_RelatorioFiscal_ReducaoZ|a||115|<out>|\n"
              "TORVA_Impressora_Avancar_Papel|3|\n"
              "TORVA_Config_Habilita_Logotipo|1|\n"
              "TORVA_Config_Habilita_CAT52_Auto|0|\n"
              "TORVA_Config_Habilita_CAT52_Auto|2|\n"
              "TORVA_NaoFiscal_Fechar_CCD|0|\n"
              "TORVA_Cheque_Endosso_EstacaoCFG|a|b|12|c|0|\n");
}

TEST_F(FrameTest, OutputsSitBetweenParametersAndFollowTheStatus) {
    Script("TORVA_RelatorioFiscal_Leitura_MF|0|memoria|42|\n"
           "TORVA_Obter_Estado_Corte_Papel|0|2|\n"
           "TORVA_Obter_Estado_Horario_Verao|0|0|\n"
           "TORVA_Config_Totalizador_NaoFiscal|0|5|\n"
           "TORVA_Obter_Estado_ImpressoraEX|0|a|b|c|d|\n");
    Run("TORVA_RelatorioFiscal_Leitura_MF", {"p1", "p2", "3", "p4", "5"});
    Run("TORVA_Obter_Estado_Corte_Papel", {});
    Run("TORVA_Obter_Estado_Horario_Verao", {});
    Run("TORVA_Config_Totalizador_NaoFiscal", {"T1"});
    Run("TORVA_Obter_Estado_ImpressoraEX", {});
    Run("TORVA_Obter_GT", {});
    EXPECT_EQ(Trace(),
              "TORVA_RelatorioFiscal_Leitura_MF|p1|p2|3|<out>|p4|<num>|5|\n"
              "TORVA_Obter_Estado_Corte_Papel|<num>|\n"
              "TORVA_Obter_Estado_Horario_Verao|<num>|\n"
              "TORVA_Config_Totalizador_NaoFiscal|T1|<num>|\n"
              "TORVA_Obter_Estado_ImpressoraEX|<out>|<out>|<out>|<out>|\n"
              "TORVA_Obter_GT|<out>|\n");
    EXPECT_EQ(responses.records, (std::vector<std::vector<std::string>>{{"0", "memoria", "42"},
                                                                        {"0", "S"},
                                                                        {"0", "N"},
                                                                        {"0", "5"},
                                                                        {"0", "a", "b", "c", "d"},
                                                                        {"0", ""}}));
}

TEST_F(FrameTest, BuffersHoldWhatTheirSizeAllows) {
    Script("*|0|" + std::string(3000, 'x') + "|\n");
    Run("TORVA_Fiscal_Obter_SubTotal", {});
    Run("TORVA_Obter_Dados_Usuario", {});
    ASSERT_EQ(responses.records.size(), 2u);
    EXPECT_EQ(responses.records[0][1].size(), 49u);
    EXPECT_EQ(responses.records[1][1].size(), 1499u);
    // What one command's outputs held never reaches the next one's buffers.
    Run("TORVA_Obter_Dados_Usuario", {});
    Run("TORVA_Obter_Estado_ImpressoraEX", {});
    EXPECT_EQ(Trace(),
              "TORVA_Fiscal_Obter_SubTotal|<out>|\nTORVA_Obter_Dados_Usuario|<out>|\nTORVA_Obter_Dados_Usuario|<out>|\n"
              "TORVA_Obter_Estado_ImpressoraEX|<out>|<out>|<out>|<out>|\n");
}

TEST_F(FrameTest, DriverLogCommandKeepsItsPathAndLevel) {
    const std::string longPath(1500, 'p');
    EXPECT_EQ(Run("TORVA_Sys_Log", {longPath, "2"}), 0);
    EXPECT_EQ(Trace(), "TORVA_Sys_Log|" + longPath + "|2|\n");
    EXPECT_EQ(driverLog.path, longPath.substr(0, 1023));
    EXPECT_EQ(driverLog.level, 2);
    Script("TORVA_Sys_Log|9|\n");
    EXPECT_EQ(Run("TORVA_Sys_Log", {"/y", "nenhum"}), 9);
    EXPECT_EQ(driverLog.level, 0);
    EXPECT_EQ(driverLog.path, "/y");
    EXPECT_EQ(Run("TORVA_Sys_Log", {"/z"}), -1);
    EXPECT_EQ(driverLog.path, "/y");
}

// Every command, given its number of parameters, reaches its own entry point
// with each parameter converted in its place and the outputs zero-filled, and
// answers with the status and one field per output.
TEST_F(FrameTest, EveryCommandReachesItsEntryPoint) {
    Script("*|0|11|22|33|44|\n");
    int commands = 0;
    for (const Family& family : Families()) {
        for (const CommandRow& row : family.rows()) {
            if (row.rule == RowRule::NeverExecuted) continue;
            ++commands;
            std::vector<std::string> params;
            std::string expected = std::string(row.name) + "|";
            std::vector<std::string> fields{"0"};
            int outputs = 0;
            for (int i = 0; i < row.kindCount; ++i) {
                const std::string n = std::to_string(i + 1);
                switch (row.kinds[i].id) {
                    case KindId::Text: params.push_back("t" + n); expected += "t" + n; break;
                    case KindId::Int: params.push_back(n + "0x"); expected += n + "0"; break;
                    case KindId::Bool: params.push_back(" yes "); expected += "1"; break;
                    case KindId::Char: params.push_back("Zz"); expected += "90"; break;
                    case KindId::Out: expected += "<out>"; fields.push_back(std::to_string(11 * ++outputs)); break;
                    case KindId::OutInt: expected += "<num>"; fields.push_back(std::to_string(11 * ++outputs)); break;
                    case KindId::OutFlag: expected += "<num>"; fields.push_back("S"); ++outputs; break;
                }
                expected += "|";
            }
            fs::remove(dir / "trace.txt");
            responses.records.clear();
            ASSERT_EQ(Run(row.name, params), 0) << row.name;
            EXPECT_EQ(Trace(), expected + "\n");
            ASSERT_EQ(responses.records.size(), 1u) << row.name;
            EXPECT_EQ(responses.records[0], fields) << row.name;
        }
    }
    EXPECT_EQ(commands, 191);
}

}  // namespace
}  // namespace zentrada::commands
