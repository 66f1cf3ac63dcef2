// Cheque printing, endorsement and the cheque reader.
#include "commands/families.h"

namespace zentrada::commands {
namespace {

constexpr CommandRow kChequeRows[] = {
    ZENTRADA_ROW(600, TORVA_Cheque_Configurar_Moeda, Text, Text),
    ZENTRADA_ROW(601, TORVA_Cheque_Configurar_Parametros1, Text, Text, Text, Text, Text, Text, Text),
    ZENTRADA_ROW(602, TORVA_Cheque_Configurar_Parametros2, Text, Text, Text, Text, Text, Text, Text, Text, Text, Text),
    ZENTRADA_ROW(603, TORVA_Cheque_Imprimir, Text, Text, Int, Text, Text, Text, Text),
    ZENTRADA_ROW(604, TORVA_Cheque_ImprimirEX, Text, Text, Int, Text, Text, Text, Text),
    ZENTRADA_ROW(605, TORVA_Cheque_Preparar_Endosso),
    ZENTRADA_ROW(606, TORVA_Cheque_Endosso_Estacao, Text, Text, Int),
    ZENTRADA_ROW(607, TORVA_Cheque_Imprimir_Endosso, Text),
    ZENTRADA_ROW(608, TORVA_Cheque_Ejetar_Endosso),
    ZENTRADA_ROW(609, TORVA_Cheque_Cancelar_Impressao),
    ZENTRADA_ROW(610, TORVA_Cheque_Endosso_EstacaoEX, Text, Text, Int, Text),
    ZENTRADA_ROW(611, TORVA_Cheque_Endosso_EstacaoCFG, Text, Text, Int, Text, Bool),
    ZENTRADA_ROW(612, TORVA_Cheque_Ler_MICR, Out<50>),
    ZENTRADA_ROW(613, TORVA_Endosso_Estacao_Cheque, Text, Text, Int),
    ZENTRADA_ROW(614, TORVA_Endosso_Estacao_ChequeEX, Text, Text, Int, Text),
};

}  // namespace

std::span<const CommandRow> ChequeRows() { return kChequeRows; }

}  // namespace zentrada::commands
