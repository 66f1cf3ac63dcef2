// zentrada --check: the report on command files, read as the agent reads
// them, and its exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/exit_status.h"
#include "shell/headless/check_files.h"
#include "test_files.h"

namespace zentrada::testing {
namespace {

struct Report {
    int status = -1;
    std::string text;
};

Report Check(const std::vector<std::string>& files) {
    Report report;
    report.status = shell::CheckCommandFiles(files, [&report](std::string_view text) { report.text += text; });
    return report;
}

TEST(CheckTest, FileThatWouldRunIsReportedLineByLineWithItsConvertedParameters) {
    TempDir dir;
    const std::string file = dir / "VENDA.FPI";
    WriteBytes(file, CrLf({"; venda", "/NOSTOP", "TORVA_Fiscal_Abrir_Cupom|A|B|C|D|07|",
                           "TORVA_Fiscal_Desconto_Acrescimo_Item|5,00| -3x|S|nao|", "torva_fiscal_fechar_cupomex", "."}) +
                         "\x1A" "NOPE|\r\n");
    const Report report = Check({file});
    EXPECT_EQ(shell::kExitStopped, report.status);
    EXPECT_EQ("Arquivo: " + file +
                  "\n"
                  "Finalizador: presente, o arquivo seria tomado\n"
                  "Op\xE7\xF5" "es: /PRE n\xE3o, /NOSTOP sim\n"
                  "Linha 1: coment\xE1rio: ; venda\n"
                  "Linha 2: op\xE7\xE3o: /NOSTOP\n"
                  "Linha 3: TORVA_Fiscal_Abrir_Cupom (5 par\xE2metros): chamaria o driver\n"
                  "    1 text: \"A\"\n"
                  "    2 text: \"B\"\n"
                  "    3 text: \"C\"\n"
                  "    4 text: \"D\"\n"
                  "    5 int: \"07\" = 7\n"
                  "Linha 4: TORVA_Fiscal_Desconto_Acrescimo_Item (4 par\xE2metros): chamaria o driver\n"
                  "    1 text: \"5,00\"\n"
                  "    2 int: \" -3x\" = -3\n"
                  "    3 bool: \"S\" = 1\n"
                  "    4 bool: \"nao\" = 0\n"
                  "Linha 5: TORVA_Fiscal_Fechar_CupomEX (0 par\xE2metros): chamaria o driver\n"
                  "    sa\xED" "das: out[50]\n"
                  "Linha 6: finalizador \".\", nada a responder\n"
                  "Resultado: OK, todas as linhas seriam executadas\n",
              report.text);
}

TEST(CheckTest, LinesThatWouldFailOrNotRunAndFilesThatWouldWaitGiveTheirVerdicts) {
    const std::string kOpen = "TORVA_Fiscal_Abrir_Cupom|A|B|C|D|7|";
    const std::string kCancel = "TORVA_Fiscal_Cancelar_Ultimo_Item";
    const std::string kUnknown = "3|Erro no comando. Nome de comando n\xE3o existente.|";
    const std::string kWrongCount = "3|Erro de par\xE2metros. N\xFAmero de par\xE2metros incorreto.|";
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> lines;  // each a whole line of the report
    };
    const std::vector<Case> cases = {
        {"an uncatalogued name ends the file",
         CrLf({"NOPE|1|", kCancel, "."}),
         {"Linha 1: \"NOPE\" (1 par\xE2metro): responderia Line 1: " + kUnknown, "    1: \"1\"",
          "Linha 2: " + kCancel + " (0 par\xE2metros): n\xE3o alcan\xE7" "ada, a execu\xE7\xE3o termina na linha 1",
          "Resultado: ERRO, linhas com erro: 1; linhas n\xE3o executadas: 1"}},
        {"a wrong count under /NOSTOP",
         CrLf({"/nostop", "", "TORVA_Fiscal_Pagamento|Dinheiro|", kCancel + "|x|", kCancel, "."}),
         {"Op\xE7\xF5" "es: /PRE n\xE3o, /NOSTOP sim", "Linha 2: linha vazia",
          "Linha 3: TORVA_Fiscal_Pagamento (1 par\xE2metro, esperados: 5): responderia Line 3: " + kWrongCount,
          "    1 text: \"Dinheiro\"", "    3 int: falta",
          "Linha 4: " + kCancel + " (1 par\xE2metro, esperados: 0): responderia Line 4: " + kWrongCount,
          "    1 a mais: \"x\"", "Linha 5: " + kCancel + " (0 par\xE2metros): chamaria o driver",
          "Resultado: ERRO, linhas com erro: 2"}},
        {"/PRE rejects the whole file",
         CrLf({"; caixa 2", "/PRE", kOpen, "TORVA_Serial_Obter_Estado_Com", "/NOSTOP", "NOPE", "."}),
         {"Op\xE7\xF5" "es: /PRE sim, /NOSTOP n\xE3o",
          "Linha 3: TORVA_Fiscal_Abrir_Cupom (5 par\xE2metros): n\xE3o executada, /PRE rejeita o arquivo",
          "Linha 4: TORVA_Serial_Obter_Estado_Com (0 par\xE2metros, nunca executado): responderia Line 4: " +
              kWrongCount,
          "Linha 5: op\xE7\xE3o fora do bloco de op\xE7\xF5" "es, sem efeito: /NOSTOP",
          "Linha 6: \"NOPE\" (0 par\xE2metros): responderia Line 6: " + kUnknown,
          "Resultado: ERRO, linhas com erro: 2; linhas n\xE3o executadas: 1"}},
        {"a dot and a word end the execution, a bare dot does not",
         CrLf({kCancel, ".", kCancel, ". fim", kCancel, "."}),
         {"Linha 2: finalizador \".\", nada a responder", "Linha 3: " + kCancel + " (0 par\xE2metros): chamaria o driver",
          "Linha 4: finalizador com texto \". fim\", fim da execu\xE7\xE3o, nada a responder",
          "Linha 5: " + kCancel + " (0 par\xE2metros): n\xE3o alcan\xE7" "ada, a execu\xE7\xE3o termina na linha 4",
          "Resultado: ERRO, linhas n\xE3o executadas: 1"}},
        {"no marker", CrLf({kOpen}),
         {"Linha 1: TORVA_Fiscal_Abrir_Cupom (5 par\xE2metros): chamaria o driver", "Resultado: ERRO, sem finalizador"}},
        {"a marker after Ctrl-Z is not read", kOpen + "\r\n\x1A\r\n.\r\n", {"Resultado: ERRO, sem finalizador"}},
        {"lone CRs do not end lines", kOpen + "\r.\r", {"Resultado: ERRO, sem finalizador"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        WriteBytes(dir / "CASO.FPI", c.bytes);
        const Report report = Check({dir / "CASO.FPI"});
        EXPECT_EQ(shell::kExitCheckFailed, report.status);
        for (const std::string& line : c.lines)
            EXPECT_NE(std::string::npos, ("\n" + report.text).find("\n" + line + "\n")) << line << "\n" << report.text;
    }

    // A missing marker names the file's .bad name; one file failing fails the whole check.
    TempDir dir;
    WriteBytes(dir / "BOM.FPI", CrLf({kCancel, "."}));
    WriteBytes(dir / "SEM.FPI", kCancel);
    AgeFile(dir / "SEM.FPI", std::chrono::minutes(5));
    const Report report = Check({dir / "BOM.FPI", dir / "SEM.FPI", dir / "FALTA.FPI"});
    EXPECT_EQ(shell::kExitCheckFailed, report.status);
    EXPECT_NE(std::string::npos, report.text.find("Resultado: OK, todas as linhas seriam executadas\n\nArquivo: "));
    EXPECT_NE(std::string::npos, report.text.find("gravado h\xE1 mais de dois minutos, seria renomeado para SEM_"));
    EXPECT_NE(std::string::npos, report.text.find("Arquivo: " + (dir / "FALTA.FPI") +
                                                  "\nO arquivo n\xE3o p\xF4" "de ser lido.\n"
                                                  "Resultado: ERRO, arquivo ileg\xEDvel\n"));
}

}  // namespace
}  // namespace zentrada::testing
