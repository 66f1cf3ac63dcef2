// Fiscal reports: readings X, reductions Z, fiscal memory reading, opening of the day.
// Leitura_MF places its two outputs between its parameters.
#include "commands/families.h"

namespace zentrada::commands {
namespace {

constexpr CommandRow kRelatorioFiscalRows[] = {
    ZENTRADA_ROW(300, TORVA_RelatorioFiscal_LeituraX),
    ZENTRADA_ROW(301, TORVA_RelatorioFiscal_RZ, Text, Text, Int, Out<1500>),
    ZENTRADA_ROW(302, TORVA_RelatorioFiscal_RZEX, Int),
    ZENTRADA_ROW(303, TORVA_RelatorioFiscal_Leitura_MF, Text, Text, Int, Out<1500>, Text, OutInt, Int),
    ZENTRADA_ROW(304, TORVA_RelatorioFiscal_Salvar_LeituraX, Text),
    ZENTRADA_ROW(305, TORVA_RelatorioFiscal_Abrir_Jornada),
    ZENTRADA_ROW(306, TORVA_RelatorioFiscal_ReducaoZ, Text, Text, Char, Out<1500>),
    ZENTRADA_ROW(307, TORVA_RelatorioFiscal_Abrir_Dia),
    ZENTRADA_ROW(308, TORVA_RelatorioFiscal_RZEx, Int),
};

}  // namespace

std::span<const CommandRow> RelatorioFiscalRows() { return kRelatorioFiscalRows; }

}  // namespace zentrada::commands
