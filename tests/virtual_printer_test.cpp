// The virtual printer library, loaded the way the agent loads the driver.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/binding.h"
#include "test_files.h"

namespace {

using zentrada::driver::DriverBinding;
using zentrada::testing::SetEnvironment;
using zentrada::driver::LoadDriverLibrary;

std::vector<std::string> Missing(const char* file, DriverBinding& binding) {
    const auto result = LoadDriverLibrary(file, binding);
    EXPECT_TRUE(result.loaded) << file;
    return {result.missing.begin(), result.missing.end()};
}

const DriverBinding& Printer() {
    static DriverBinding binding;
    static const bool loaded = LoadDriverLibrary(VIRTUAL_PRINTER_LIBRARY, binding).loaded;
    EXPECT_TRUE(loaded);
    return binding;
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

void WriteAll(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Each test gets its own directory, with TORVA_TRACE and TORVA_SCRIPT naming
// files in it; the script file does not exist until a test writes it.
class VirtualPrinter : public testing::Test {
protected:
    void SetUp() override {
        SetEnvironment("TORVA_TRACE", (dir_ / "trace.txt").string());
        SetEnvironment("TORVA_MODE", "recorder");
        SetEnvironment("TORVA_SCRIPT", (dir_ / "script.txt").string());
    }
    void TearDown() override {
        SetEnvironment("TORVA_TRACE", "");
        SetEnvironment("TORVA_SCRIPT", "");
    }
    std::string Trace() const { return ReadAll(dir_ / "trace.txt"); }
    void Script(const std::string& text) const { WriteAll(dir_ / "script.txt", text); }

    zentrada::testing::TempDir root_;
    const std::filesystem::path dir_ = root_.Path();
    const DriverBinding& p_ = Printer();
};

TEST_F(VirtualPrinter, ExportsEveryEntryPointAndVariantsLackExactlyTheirs) {
    DriverBinding full, partial, noWorker;
    EXPECT_TRUE(Missing(VIRTUAL_PRINTER_LIBRARY, full).empty());
    EXPECT_EQ(Missing(VIRTUAL_PRINTER_PARTIAL, partial),
              (std::vector<std::string>{"TORVA_Config_Habilita_EAD", "TORVA_Display_Cursor"}));
    EXPECT_EQ(Missing(VIRTUAL_PRINTER_NO_WORKER, noWorker),
              (std::vector<std::string>{"TORVA_Serial_Abrir_PortaEX", "TORVA_Serial_Fechar_Porta",
                                        "TORVA_Obter_Estado_Impressora", "TORVA_Sys_Log"}));

    // A variant is the same code: it traces and answers like the full library.
    Script("*|9|\n");
    EXPECT_EQ(partial.TORVA_Display_Configurar(1, 2, 3), 9);
    EXPECT_EQ(Trace(), "TORVA_Display_Configurar|1|2|3|\n");
}

TEST_F(VirtualPrinter, TraceShowsEachArgumentAsItArrived) {
    WriteAll(dir_ / "trace.txt", "earlier\n");
    char buffer[1500] = {};
    std::int32_t number = 0;
    p_.TORVA_RelatorioFiscal_Leitura_MF("A", "B", 12, buffer, "C", &number, 5);
    p_.TORVA_Verifica_Impressora_Ligada();
    p_.TORVA_Fiscal_Cancelar_Item("Pre\xE7o \xFAnico");
    p_.TORVA_NaoFiscal_Sangria(nullptr, -250);
    p_.TORVA_Fiscal_Fechar_Cupom(INT32_MIN, INT32_MAX);
    char lastByteDirty[50] = {};
    lastByteDirty[49] = 'x';
    p_.TORVA_Fiscal_Obter_SubTotal(lastByteDirty);
    char dirtyPastSize[200] = {};  // the list gives 100 bytes: the rest is not looked at
    dirtyPastSize[100] = 'x';
    p_.TORVA_Obter_Estado_Impressora(dirtyPastSize);
    std::int32_t dirtyNumber = -1;
    p_.TORVA_Config_Totalizador_NaoFiscal("", &dirtyNumber);

    EXPECT_EQ(Trace(),
              "earlier\n"
              "TORVA_RelatorioFiscal_Leitura_MF|A|B|12|<out>|C|<num>|5|\n"
              "TORVA_Verifica_Impressora_Ligada|\n"
              "TORVA_Fiscal_Cancelar_Item|Pre\xE7o \xFAnico|\n"
              "TORVA_NaoFiscal_Sangria|<null>|-250|\n"
              "TORVA_Fiscal_Fechar_Cupom|-2147483648|2147483647|\n"
              "TORVA_Fiscal_Obter_SubTotal|<out:dirty>|\n"
              "TORVA_Obter_Estado_Impressora|<out>|\n"
              "TORVA_Config_Totalizador_NaoFiscal||<num:dirty>|\n");
}

TEST_F(VirtualPrinter, ScriptLineOfTheExactNameBeatsStar) {
    Script("# answers\n"
           "*|-1|any|\n"
           "\n"
           "torva_obter_versao_dll|5|wrong case|\n"
           "TORVA_Obter_Estado_Impressora|-12|exact|\n"
           "TORVA_Obter_Estado_Impressora|7|second|\n");
    char status[100] = {};
    EXPECT_EQ(p_.TORVA_Obter_Estado_Impressora(status), -12);
    EXPECT_STREQ(status, "exact");
    char version[1500] = {};
    EXPECT_EQ(p_.TORVA_Obter_Versao_DLL(version), -1);
    EXPECT_STREQ(version, "any");
}

TEST_F(VirtualPrinter, ScriptFillsOutputsInDriverOrder) {
    Script("TORVA_RelatorioFiscal_Leitura_MF|0|read data|-42|\r\n"
           "TORVA_Obter_Estado_ImpressoraEX|1|ab||\r\n"
           "TORVA_Obter_Estado_Corte_Papel|2|not a number|\r\n");
    char buffer[1500] = {};
    std::int32_t number = 0;
    EXPECT_EQ(p_.TORVA_RelatorioFiscal_Leitura_MF("A", "B", 0, buffer, "C", &number, 0), 0);
    EXPECT_STREQ(buffer, "read data");
    EXPECT_EQ(number, -42);

    // Outputs without a field keep what the caller left in them.
    char first[1500] = "zzzz", second[1500] = "zzzz", third[1500] = "zzzz", fourth[1500] = {};
    EXPECT_EQ(p_.TORVA_Obter_Estado_ImpressoraEX(first, second, third, fourth), 1);
    EXPECT_EQ(std::string(first, 4), std::string("ab\0z", 4));
    EXPECT_STREQ(second, "");
    EXPECT_STREQ(third, "zzzz");
    EXPECT_STREQ(fourth, "");

    std::int32_t cut = 0;
    EXPECT_EQ(p_.TORVA_Obter_Estado_Corte_Papel(&cut), 2);
    EXPECT_EQ(cut, 0);
}

TEST_F(VirtualPrinter, ScriptTextsAreCutToTheBufferSize) {
    Script("TORVA_Obter_Estado_Impressora|0|" + std::string(150, 'A') + "|\n" +
           "TORVA_Fiscal_Obter_SubTotal|0|" + std::string(49, '\xFA') + "|\n");
    char status[200] = {};
    p_.TORVA_Obter_Estado_Impressora(status);
    EXPECT_EQ(std::strlen(status), 99u);
    EXPECT_EQ(std::string(status + 99, 101), std::string(101, '\0'));
    char subtotal[50];
    std::memset(subtotal, 'x', sizeof subtotal);
    p_.TORVA_Fiscal_Obter_SubTotal(subtotal);
    EXPECT_EQ(std::string(subtotal, 50), std::string(49, '\xFA') + '\0');
}

TEST_F(VirtualPrinter, WithoutAnAnsweringLineStatusIsZeroAndOutputsUntouched) {
    char buffer[1500] = "caller's";
    EXPECT_EQ(p_.TORVA_Obter_GT(buffer), 0);  // no script file
    Script("TORVA_Obter_Operador|3|op|\n");
    EXPECT_EQ(p_.TORVA_Obter_GT(buffer), 0);
    EXPECT_STREQ(buffer, "caller's");
    SetEnvironment("TORVA_SCRIPT", "");
    EXPECT_EQ(p_.TORVA_Obter_Operador(buffer), 0);
    EXPECT_STREQ(buffer, "caller's");

    // The file is read again at every call.
    SetEnvironment("TORVA_SCRIPT", (dir_ / "script.txt").string());
    EXPECT_EQ(p_.TORVA_Obter_Operador(buffer), 3);
    Script("TORVA_Obter_Operador|4|\n");
    EXPECT_EQ(p_.TORVA_Obter_Operador(buffer), 4);
}

}  // namespace
