// Configuration of the printer.
#include "commands/families.h"

namespace zentrada::commands {
namespace {

constexpr CommandRow kConfigRows[] = {
    ZENTRADA_ROW(500, TORVA_Config_Aliquota, Text, Bool),
    ZENTRADA_ROW(501, TORVA_Config_Relatorio_Gerencial, Text),
    ZENTRADA_ROW(502, TORVA_Config_Forma_Pagamento, Bool, Text, Text),
    ZENTRADA_ROW(503, TORVA_Config_Forma_PagamentoEX, Bool, Text),
    ZENTRADA_ROW(504, TORVA_Config_Totalizador_NaoFiscal, Text, OutInt),
    ZENTRADA_ROW(505, TORVA_Config_Horario_Verao),
    ZENTRADA_ROW(506, TORVA_Config_Espaco_Entre_Documentos, Text),
    ZENTRADA_ROW(507, TORVA_Config_Espaco_Entre_Linhas, Text),
    ZENTRADA_ROW(508, TORVA_Config_Habilita_Logotipo, Bool),
    ZENTRADA_ROW(509, TORVA_Config_Logotipo, Text, Int, Text),
    ZENTRADA_ROW(510, TORVA_Config_Operador, Text),
    ZENTRADA_ROW(511, TORVA_Config_OperadorEX, Text, Int),
    ZENTRADA_ROW(512, TORVA_Config_Corte_Papel, Bool),
    ZENTRADA_ROW(513, TORVA_Config_Serial_Impressora, Text),
    ZENTRADA_ROW(514, TORVA_Config_Dados_Sintegra, Text, Text, Text, Text, Text, Text, Text, Text, Text, Text, Text),
    ZENTRADA_ROW(515, TORVA_Config_Download_Segmentado_MFD, Bool),
    ZENTRADA_ROW(516, TORVA_Config_Habilita_CAT52_Auto, Int),
    ZENTRADA_ROW(517, TORVA_Config_Habilita_RJSSER16_Auto, Int),
    ZENTRADA_ROW(518, TORVA_Config_Habilita_Mensagem_Cupom_Mania, Int),
    ZENTRADA_ROW(519, TORVA_Config_Habilita_Mensagem_Minas_Legal, Int),
    ZENTRADA_ROW(520, TORVA_Config_Habilita_PAFECF_Auto, Int),
    ZENTRADA_ROW(521, TORVA_Config_Dados_PAFECF, Text, Text, Text, Text, Text, Text, Text, Text),
    ZENTRADA_ROW(522, TORVA_Config_Mensagem_Aplicacao, Text, Text),
    ZENTRADA_ROW(523, TORVA_Config_Mensagem_Aplicacao_Auto, Text, Text),
    ZENTRADA_ROW(524, TORVA_Config_Habilita_Sintegra_Auto, Int),
    ZENTRADA_ROW(525, TORVA_Config_Habilita_EAD, Bool),
    ZENTRADA_ROW(526, TORVA_Config_ReducaoZ_Automatica, Bool),
    ZENTRADA_ROW(527, TORVA_Config_Dados_SPED, Text, Text, Text, Text, Text),
    ZENTRADA_ROW(528, TORVA_Download_Segmentado_MFD, Bool),
};

}  // namespace

std::span<const CommandRow> ConfigRows() { return kConfigRows; }

}  // namespace zentrada::commands
