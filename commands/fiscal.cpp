// Fiscal receipt: opening, items, discounts, payments, cancellations, messages and closing.
#include "commands/families.h"

namespace zentrada::commands {
namespace {

constexpr CommandRow kFiscalRows[] = {
    ZENTRADA_ROW(100, TORVA_Fiscal_Abrir_Cupom, Text, Text, Text, Text, Int),
    ZENTRADA_ROW(101, TORVA_Fiscal_Vender_Item, Text, Text, Text, Int, Text, Text, Int, Text, Int),
    ZENTRADA_ROW(102, TORVA_Fiscal_Vender_ItemEX, Text, Text, Text, Int, Text, Text, Int, Text, Int, Bool),
    ZENTRADA_ROW(103, TORVA_Fiscal_Vender_Item_AD, Text, Text, Text, Int, Text, Text, Int, Text, Int, Int, Int),
    ZENTRADA_ROW(104, TORVA_Fiscal_Obter_SubTotal, Out<50>),
    ZENTRADA_ROW(105, TORVA_Fiscal_Pagamento, Text, Text, Int, Text, Text),
    ZENTRADA_ROW(106, TORVA_Fiscal_Desconto_Acrescimo_Item, Text, Int, Bool, Bool),
    ZENTRADA_ROW(107, TORVA_Fiscal_Desconto_Acrescimo_ItemEX, Text, Text, Int, Bool, Bool),
    ZENTRADA_ROW(108, TORVA_Fiscal_Desconto_Acrescimo_Subtotal, Text, Int, Bool, Bool),
    ZENTRADA_ROW(109, TORVA_Fiscal_Cancelar_Cupom),
    ZENTRADA_ROW(110, TORVA_Fiscal_Cancelar_CupomEX),
    ZENTRADA_ROW(111, TORVA_Fiscal_Cancelar_Item, Text),
    ZENTRADA_ROW(112, TORVA_Fiscal_Cancelar_Ultimo_Item),
    ZENTRADA_ROW(113, TORVA_Fiscal_Cancelar_Desconto_Acrescimo_Item, Bool),
    ZENTRADA_ROW(114, TORVA_Fiscal_Cancelar_Desconto_Acrescimo_ItemEX, Text, Bool),
    ZENTRADA_ROW(115, TORVA_Fiscal_Cancelar_Acrescimo_Desconto_Subtotal, Bool),
    ZENTRADA_ROW(116, TORVA_Fiscal_Cancelar_Item_Parcial, Text, Text, Int),
    ZENTRADA_ROW(117, TORVA_Fiscal_Imprimir_Mensagem, Text, Text, Text, Text, Text, Text, Text, Text),
    ZENTRADA_ROW(118, TORVA_Fiscal_Imprimir_MensagemEX, Text),
    ZENTRADA_ROW(119, TORVA_Fiscal_Configurar_Codigo_Barras_Mensagem, Int, Int, Int, Int, Int, Int),
    ZENTRADA_ROW(120, TORVA_Fiscal_Fechar_CupomEX, Out<50>),
    ZENTRADA_ROW(121, TORVA_Fiscal_Fechar_Cupom, Bool, Bool),
    ZENTRADA_ROW(122, TORVA_Fiscal_Dados_Consumidor, Text, Text, Text, Text, Int),
    ZENTRADA_ROW(123, TORVA_Fiscal_Fechar_CupomEx, Out<50>),
    ZENTRADA_ROW(124, TORVA_Fiscal_Mensagem_Aplicacao, Text, Text),
    ZENTRADA_ROW(125, TORVA_Fiscal_Dados_Usuario, Text, Text, Text, Text, Int),
};

}  // namespace

std::span<const CommandRow> FiscalRows() { return kFiscalRows; }

}  // namespace zentrada::commands
