// Non-fiscal documents: vouchers, CCD, management reports, withdrawal and change fund.
#include "commands/families.h"

namespace zentrada::commands {
namespace {

constexpr CommandRow kNaoFiscalRows[] = {
    ZENTRADA_ROW(200, TORVA_NaoFiscal_Abrir_Comprovante, Text, Text, Text, Text, Int),
    ZENTRADA_ROW(201, TORVA_NaoFiscal_Vender_Item, Text, Text, Int),
    ZENTRADA_ROW(202, TORVA_NaoFiscal_Desconto_Acrescimo_Item, Text, Int, Bool, Bool),
    ZENTRADA_ROW(203, TORVA_NaoFiscal_Desconto_Acrescimo_ItemEX, Text, Text, Int, Bool, Bool),
    ZENTRADA_ROW(204, TORVA_NaoFiscal_Desconto_Acrescimo_Subtotal, Text, Int, Bool, Bool),
    ZENTRADA_ROW(205, TORVA_NaoFiscal_Pagamento, Text, Text, Int, Text, Text),
    ZENTRADA_ROW(206, TORVA_NaoFiscal_Cancelar_Item, Text),
    ZENTRADA_ROW(207, TORVA_NaoFiscal_Cancelar_Ultimo_Item),
    ZENTRADA_ROW(208, TORVA_NaoFiscal_Cancelar_Desconto_Acrescimo_Item, Bool),
    ZENTRADA_ROW(209, TORVA_NaoFiscal_Cancelar_Desconto_Acrescimo_ItemEX, Text, Bool),
    ZENTRADA_ROW(210, TORVA_NaoFiscal_Cancelar_Desconto_Acrescimo_Subtotal, Bool),
    ZENTRADA_ROW(211, TORVA_NaoFiscal_Cancelar_Comprovante),
    ZENTRADA_ROW(212, TORVA_NaoFiscal_Cancelar_ComprovanteEX),
    ZENTRADA_ROW(213, TORVA_NaoFiscal_Fechar_Comprovante, Bool),
    ZENTRADA_ROW(214, TORVA_NaoFiscal_Abrir_CCD, Text, Text, Int, Text),
    ZENTRADA_ROW(215, TORVA_NaoFiscal_Abrir_Relatorio_Gerencial, Text),
    ZENTRADA_ROW(216, TORVA_NaoFiscal_Imprimir_LinhaEX, Text),
    ZENTRADA_ROW(217, TORVA_NaoFiscal_Imprimir_Linha, Text),
    ZENTRADA_ROW(218, TORVA_NaoFiscal_Imprimir_15Linhas, Text, Text, Text, Text, Text, Text, Text, Text, Text, Text, Text, Text, Text, Text, Text),
    ZENTRADA_ROW(219, TORVA_NaoFiscal_Fechar_CCD, Bool),
    ZENTRADA_ROW(220, TORVA_NaoFiscal_Fechar_Relatorio_Gerencial, Bool),
    ZENTRADA_ROW(221, TORVA_NaoFiscal_Cancelar_CCD, Text, Text, Int, Text, Text),
    ZENTRADA_ROW(222, TORVA_NaoFiscal_Cancelar_Pagamento, Text, Text, Text, Int),
    ZENTRADA_ROW(223, TORVA_NaoFiscal_Nova_Parcela_CCD),
    ZENTRADA_ROW(224, TORVA_NaoFiscal_Nova_Via_CCD),
    ZENTRADA_ROW(225, TORVA_NaoFiscal_Reimprimir_CCD),
    ZENTRADA_ROW(226, TORVA_NaoFiscal_Sangria, Text, Int),
    ZENTRADA_ROW(227, TORVA_NaoFiscal_Fundo_Troco, Text, Int),
    ZENTRADA_ROW(228, TORVA_NaoFiscal_Imprimir_Codigo_Barras, Int, Int, Int, Int, Int, Text),
    ZENTRADA_ROW(229, TORVA_NaoFiscal_Obter_SubTotal, Out<50>),
};

}  // namespace

std::span<const CommandRow> NaoFiscalRows() { return kNaoFiscalRows; }

}  // namespace zentrada::commands
