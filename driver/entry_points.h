// The driver library's entry points: one list from which come the binding's
// slots and lookup order, the type every command row must match, and the
// exports of the virtual printer's library.
//
// Each entry is X(name, argument kinds...) in the order of the function's own
// argument list. The kinds are the driver's view of an argument:
//   TextArg       a NUL-terminated cp1252 text owned by the caller
//   IntArg        a signed 32-bit value (numbers, booleans 0/1, one byte)
//   BufferArg<N>  a zero-filled caller buffer of at least N bytes that the
//                 library fills with a NUL-terminated text
//   NumberArg     a caller-owned 32-bit integer, 0 before the call, that the
//                 library sets
// Entries are listed in the order in which the binding looks them up.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define ZENTRADA_DRIVER_CALL __stdcall
#else
#define ZENTRADA_DRIVER_CALL
#endif

namespace zentrada::driver {

struct TextArg {
    using CType = const char*;
};
struct IntArg {
    using CType = std::int32_t;
};
template <int N>
struct BufferArg {
    using CType = char*;
    static constexpr int size = N;
};
struct NumberArg {
    using CType = std::int32_t*;
};

// The type of an entry point taking arguments of the given kinds.
template <typename... Kinds>
using DriverFunction = std::int32_t(ZENTRADA_DRIVER_CALL*)(typename Kinds::CType...);

}  // namespace zentrada::driver

// The status query is called by the idle poll with a 100-byte buffer and by
// its command with a larger one: the list names the smaller, which is what
// the library may fill.
#define ZENTRADA_DRIVER_ENTRY_POINTS(X) \
    X(TORVA_Serial_Abrir_PortaEX) \
    X(TORVA_Serial_Obter_Estado_Com) \
    X(TORVA_Serial_Fechar_Porta) \
    X(TORVA_Fiscal_Abrir_Cupom, TextArg, TextArg, TextArg, TextArg, IntArg) \
    X(TORVA_Fiscal_Vender_Item, TextArg, TextArg, TextArg, IntArg, TextArg, TextArg, IntArg, TextArg, IntArg) \
    X(TORVA_Fiscal_Vender_ItemEX, TextArg, TextArg, TextArg, IntArg, TextArg, TextArg, IntArg, TextArg, IntArg, IntArg) \
    X(TORVA_Fiscal_Vender_Item_AD, TextArg, TextArg, TextArg, IntArg, TextArg, TextArg, IntArg, TextArg, IntArg, IntArg, IntArg) \
    X(TORVA_Fiscal_Obter_SubTotal, BufferArg<50>) \
    X(TORVA_Fiscal_Pagamento, TextArg, TextArg, IntArg, TextArg, TextArg) \
    X(TORVA_Fiscal_Desconto_Acrescimo_Item, TextArg, IntArg, IntArg, IntArg) \
    X(TORVA_Fiscal_Desconto_Acrescimo_ItemEX, TextArg, TextArg, IntArg, IntArg, IntArg) \
    X(TORVA_Fiscal_Desconto_Acrescimo_Subtotal, TextArg, IntArg, IntArg, IntArg) \
    X(TORVA_Fiscal_Cancelar_Cupom) \
    X(TORVA_Fiscal_Cancelar_CupomEX) \
    X(TORVA_Fiscal_Cancelar_Item, TextArg) \
    X(TORVA_Fiscal_Cancelar_Ultimo_Item) \
    X(TORVA_Fiscal_Cancelar_Desconto_Acrescimo_Item, IntArg) \
    X(TORVA_Fiscal_Cancelar_Desconto_Acrescimo_ItemEX, TextArg, IntArg) \
    X(TORVA_Fiscal_Cancelar_Acrescimo_Desconto_Subtotal, IntArg) \
    X(TORVA_Fiscal_Cancelar_Item_Parcial, TextArg, TextArg, IntArg) \
    X(TORVA_Fiscal_Imprimir_Mensagem, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg) \
    X(TORVA_Fiscal_Imprimir_MensagemEX, TextArg) \
    X(TORVA_Fiscal_Configurar_Codigo_Barras_Mensagem, IntArg, IntArg, IntArg, IntArg, IntArg, IntArg) \
    X(TORVA_Fiscal_Fechar_CupomEX, BufferArg<50>) \
    X(TORVA_Fiscal_Fechar_Cupom, IntArg, IntArg) \
    X(TORVA_Fiscal_Dados_Consumidor, TextArg, TextArg, TextArg, TextArg, IntArg) \
    X(TORVA_Fiscal_Fechar_CupomEx, BufferArg<50>) \
    X(TORVA_Fiscal_Mensagem_Aplicacao, TextArg, TextArg) \
    X(TORVA_Fiscal_Dados_Usuario, TextArg, TextArg, TextArg, TextArg, IntArg) \
    X(TORVA_NaoFiscal_Abrir_Comprovante, TextArg, TextArg, TextArg, TextArg, IntArg) \
    X(TORVA_NaoFiscal_Vender_Item, TextArg, TextArg, IntArg) \
    X(TORVA_NaoFiscal_Desconto_Acrescimo_Item, TextArg, IntArg, IntArg, IntArg) \
    X(TORVA_NaoFiscal_Desconto_Acrescimo_ItemEX, TextArg, TextArg, IntArg, IntArg, IntArg) \
    X(TORVA_NaoFiscal_Desconto_Acrescimo_Subtotal, TextArg, IntArg, IntArg, IntArg) \
    X(TORVA_NaoFiscal_Pagamento, TextArg, TextArg, IntArg, TextArg, TextArg) \
    X(TORVA_NaoFiscal_Cancelar_Item, TextArg) \
    X(TORVA_NaoFiscal_Cancelar_Ultimo_Item) \
    X(TORVA_NaoFiscal_Cancelar_Desconto_Acrescimo_Item, IntArg) \
    X(TORVA_NaoFiscal_Cancelar_Desconto_Acrescimo_ItemEX, TextArg, IntArg) \
    X(TORVA_NaoFiscal_Cancelar_Desconto_Acrescimo_Subtotal, IntArg) \
    X(TORVA_NaoFiscal_Cancelar_Comprovante) \
    X(TORVA_NaoFiscal_Cancelar_ComprovanteEX) \
    X(TORVA_NaoFiscal_Fechar_Comprovante, IntArg) \
    X(TORVA_NaoFiscal_Abrir_CCD, TextArg, TextArg, IntArg, TextArg) \
    X(TORVA_NaoFiscal_Abrir_Relatorio_Gerencial, TextArg) \
    X(TORVA_NaoFiscal_Imprimir_LinhaEX, TextArg) \
    X(TORVA_NaoFiscal_Imprimir_Linha, TextArg) \
    X(TORVA_NaoFiscal_Imprimir_15Linhas, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg) \
    X(TORVA_NaoFiscal_Fechar_CCD, IntArg) \
    X(TORVA_NaoFiscal_Fechar_Relatorio_Gerencial, IntArg) \
    X(TORVA_NaoFiscal_Cancelar_CCD, TextArg, TextArg, IntArg, TextArg, TextArg) \
    X(TORVA_NaoFiscal_Cancelar_Pagamento, TextArg, TextArg, TextArg, IntArg) \
    X(TORVA_NaoFiscal_Nova_Parcela_CCD) \
    X(TORVA_NaoFiscal_Nova_Via_CCD) \
    X(TORVA_NaoFiscal_Reimprimir_CCD) \
    X(TORVA_NaoFiscal_Sangria, TextArg, IntArg) \
    X(TORVA_NaoFiscal_Fundo_Troco, TextArg, IntArg) \
    X(TORVA_NaoFiscal_Imprimir_Codigo_Barras, IntArg, IntArg, IntArg, IntArg, IntArg, TextArg) \
    X(TORVA_NaoFiscal_Obter_SubTotal, BufferArg<50>) \
    X(TORVA_RelatorioFiscal_LeituraX) \
    X(TORVA_RelatorioFiscal_RZ, TextArg, TextArg, IntArg, BufferArg<1500>) \
    X(TORVA_RelatorioFiscal_RZEX, IntArg) \
    X(TORVA_RelatorioFiscal_Leitura_MF, TextArg, TextArg, IntArg, BufferArg<1500>, TextArg, NumberArg, IntArg) \
    X(TORVA_RelatorioFiscal_Salvar_LeituraX, TextArg) \
    X(TORVA_RelatorioFiscal_Abrir_Jornada) \
    X(TORVA_RelatorioFiscal_Abrir_Dia) \
    X(TORVA_RelatorioFiscal_ReducaoZ, TextArg, TextArg, IntArg, BufferArg<1500>) \
    X(TORVA_RelatorioFiscal_RZEx, IntArg) \
    X(TORVA_Obter_Dados_Usuario, BufferArg<1500>) \
    X(TORVA_Obter_Tabela_Aliquotas, BufferArg<1500>) \
    X(TORVA_Obter_Tabela_Aliquotas_Cupom, BufferArg<1500>, BufferArg<1500>, BufferArg<1500>) \
    X(TORVA_Obter_Tabela_Pagamentos, BufferArg<1500>) \
    X(TORVA_Obter_Tabela_NaoFiscais, BufferArg<1500>) \
    X(TORVA_Obter_Tabela_Relatorios_Gerenciais, BufferArg<1500>) \
    X(TORVA_Obter_Total_Cancelado, BufferArg<1500>) \
    X(TORVA_Obter_Total_Aliquotas, BufferArg<1500>) \
    X(TORVA_Obter_Total_Bruto, BufferArg<1500>) \
    X(TORVA_Obter_Total_Descontos, BufferArg<1500>) \
    X(TORVA_Obter_Total_Acrescimos, BufferArg<1500>) \
    X(TORVA_Obter_Total_Troco, BufferArg<1500>) \
    X(TORVA_Obter_Venda_Liquida_ICMS, BufferArg<1500>) \
    X(TORVA_Obter_Venda_Liquida_ISSQN, BufferArg<1500>) \
    X(TORVA_Obter_Total_ISSQN, BufferArg<1500>) \
    X(TORVA_Obter_Total_ICMS, BufferArg<1500>) \
    X(TORVA_Obter_Dados_Impressora, BufferArg<1500>) \
    X(TORVA_Obter_Cliche_Usuario, BufferArg<1500>) \
    X(TORVA_Obter_Cliche_UsuarioEX, BufferArg<1500>) \
    X(TORVA_Obter_Data_Hora_Jornada, BufferArg<1500>) \
    X(TORVA_Obter_Numero_ECF_Loja, BufferArg<1500>) \
    X(TORVA_Obter_Hora_Relogio, BufferArg<1500>) \
    X(TORVA_Obter_Simbolo_Moeda, BufferArg<1500>) \
    X(TORVA_Obter_Casas_Decimais, BufferArg<1500>) \
    X(TORVA_Obter_Desconto_Iss, BufferArg<1500>) \
    X(TORVA_Obter_Contadores, BufferArg<1500>) \
    X(TORVA_Obter_Estado_Impressora, BufferArg<100>) \
    X(TORVA_Obter_Estado_ImpressoraEX, BufferArg<1500>, BufferArg<1500>, BufferArg<1500>, BufferArg<1500>) \
    X(TORVA_Obter_GT, BufferArg<1500>) \
    X(TORVA_Obter_Linhas_Impressas, BufferArg<1500>) \
    X(TORVA_Obter_Linhas_Impressas_RG, BufferArg<1500>) \
    X(TORVA_Obter_Linhas_Impressas_CCD, BufferArg<1500>) \
    X(TORVA_Obter_Dados_Jornada, BufferArg<1500>) \
    X(TORVA_Obter_Caracteres_Linha, BufferArg<1500>) \
    X(TORVA_Obter_Operador, BufferArg<1500>) \
    X(TORVA_Obter_Numero_Ultimo_Item, BufferArg<1500>) \
    X(TORVA_Obter_Informacao_Item, TextArg, BufferArg<1500>) \
    X(TORVA_Obter_Estado_Cupom, BufferArg<1500>) \
    X(TORVA_Obter_Informacao_Ultimo_Documento, BufferArg<1500>) \
    X(TORVA_Obter_Estado_Corte_Papel, NumberArg) \
    X(TORVA_Obter_Linhas_Impressas_Vendas, BufferArg<1500>) \
    X(TORVA_Obter_Linhas_Impressas_Pagamentos, BufferArg<1500>) \
    X(TORVA_Obter_Total_Itens_Vendidos, BufferArg<1500>) \
    X(TORVA_Obter_Estado_Memoria_Fiscal, BufferArg<1500>) \
    X(TORVA_Obter_Estado_MFD, BufferArg<1500>) \
    X(TORVA_Obter_Total_Leituras_X_Impressas, BufferArg<1500>) \
    X(TORVA_Obter_Estado_Horario_Verao, NumberArg) \
    X(TORVA_Obter_Venda_Bruta, BufferArg<1500>, BufferArg<1500>) \
    X(TORVA_Obter_Mensagem_Erro, TextArg, BufferArg<1500>) \
    X(TORVA_Obter_Dados_MF_MFD, TextArg, TextArg, IntArg, IntArg, IntArg, IntArg, TextArg) \
    X(TORVA_Obter_Dados_MF_MFD_Progresso, TextArg, TextArg, IntArg, IntArg, IntArg, IntArg, TextArg, BufferArg<1500>) \
    X(TORVA_Obter_Versao_DLL, BufferArg<1500>) \
    X(TORVA_Obter_Total_JornadaEX, TextArg, TextArg, BufferArg<1500>) \
    X(TORVA_Obter_Dados_Ultima_RZ, BufferArg<1500>) \
    X(TORVA_Obter_Dados_Arquivos_MF_MFD, TextArg, TextArg, IntArg, IntArg, IntArg, IntArg, TextArg, TextArg, TextArg) \
    X(TORVA_Obter_AtoCOTEPE_SeparadoEX, TextArg, IntArg) \
    X(TORVA_Obter_Arquivos_Binarios, TextArg, TextArg, IntArg, TextArg, TextArg) \
    X(TORVA_Obter_Arquivo_Binario_MF, TextArg) \
    X(TORVA_Obter_Arquivo_Binario_MFD, TextArg) \
    X(TORVA_Obter_Versao_SWBasicoEX, BufferArg<1500>, BufferArg<1500>, BufferArg<1500>) \
    X(TORVA_Obter_Codigo_Nacional_ECF, BufferArg<1500>, BufferArg<1500>) \
    X(TORVA_Obter_Numero_Usuario, BufferArg<1500>) \
    X(TORVA_Obter_Arredonda_Trunca_Fabricacao, BufferArg<1500>, BufferArg<1500>) \
    X(TORVA_Obter_Log_Comandos, BufferArg<1500>, BufferArg<1500>) \
    X(TORVA_Obter_Estado_ReducaoZ_Automatica, NumberArg) \
    X(TORVA_Obter_Valores_Cupom, BufferArg<1500>) \
    X(TORVA_Verifica_Impressora_Ligada) \
    X(TORVA_Separar_AtoCOTEPE, TextArg) \
    X(TORVA_Obter_AtoCOTEPE_Separado_EX, TextArg, IntArg) \
    X(TORVA_Obter_AtoCOTEPE_Separado, TextArg) \
    X(TORVA_Salvar_Binario_MF, TextArg) \
    X(TORVA_Obter_Versao_SWBasico, BufferArg<1500>, BufferArg<1500>) \
    X(TORVA_Config_Aliquota, TextArg, IntArg) \
    X(TORVA_Config_Relatorio_Gerencial, TextArg) \
    X(TORVA_Config_Forma_Pagamento, IntArg, TextArg, TextArg) \
    X(TORVA_Config_Forma_PagamentoEX, IntArg, TextArg) \
    X(TORVA_Config_Totalizador_NaoFiscal, TextArg, NumberArg) \
    X(TORVA_Config_Horario_Verao) \
    X(TORVA_Config_Espaco_Entre_Documentos, TextArg) \
    X(TORVA_Config_Espaco_Entre_Linhas, TextArg) \
    X(TORVA_Config_Habilita_Logotipo, IntArg) \
    X(TORVA_Config_Logotipo, TextArg, IntArg, TextArg) \
    X(TORVA_Config_Operador, TextArg) \
    X(TORVA_Config_OperadorEX, TextArg, IntArg) \
    X(TORVA_Config_Corte_Papel, IntArg) \
    X(TORVA_Config_Serial_Impressora, TextArg) \
    X(TORVA_Config_Dados_Sintegra, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg) \
    X(TORVA_Config_Dados_SPED, TextArg, TextArg, TextArg, TextArg, TextArg) \
    X(TORVA_Download_Segmentado_MFD, IntArg) \
    X(TORVA_Config_Habilita_CAT52_Auto, IntArg) \
    X(TORVA_Config_Habilita_RJSSER16_Auto, IntArg) \
    X(TORVA_Config_Habilita_Mensagem_Cupom_Mania, IntArg) \
    X(TORVA_Config_Habilita_Mensagem_Minas_Legal, IntArg) \
    X(TORVA_Config_Habilita_PAFECF_Auto, IntArg) \
    X(TORVA_Config_Dados_PAFECF, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg) \
    X(TORVA_Config_Mensagem_Aplicacao, TextArg, TextArg) \
    X(TORVA_Config_Mensagem_Aplicacao_Auto, TextArg, TextArg) \
    X(TORVA_Config_Habilita_Sintegra_Auto, IntArg) \
    X(TORVA_Config_Habilita_EAD, IntArg) \
    X(TORVA_Config_ReducaoZ_Automatica, IntArg) \
    X(TORVA_Config_Download_Segmentado_MFD, IntArg) \
    X(TORVA_Cheque_Configurar_Moeda, TextArg, TextArg) \
    X(TORVA_Cheque_Configurar_Parametros1, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg) \
    X(TORVA_Cheque_Configurar_Parametros2, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg, TextArg) \
    X(TORVA_Cheque_Imprimir, TextArg, TextArg, IntArg, TextArg, TextArg, TextArg, TextArg) \
    X(TORVA_Cheque_ImprimirEX, TextArg, TextArg, IntArg, TextArg, TextArg, TextArg, TextArg) \
    X(TORVA_Cheque_Preparar_Endosso) \
    X(TORVA_Cheque_Endosso_Estacao, TextArg, TextArg, IntArg) \
    X(TORVA_Cheque_Imprimir_Endosso, TextArg) \
    X(TORVA_Cheque_Ejetar_Endosso) \
    X(TORVA_Cheque_Cancelar_Impressao) \
    X(TORVA_Cheque_Endosso_EstacaoEX, TextArg, TextArg, IntArg, TextArg) \
    X(TORVA_Cheque_Endosso_EstacaoCFG, TextArg, TextArg, IntArg, TextArg, IntArg) \
    X(TORVA_Cheque_Ler_MICR, BufferArg<50>) \
    X(TORVA_Endosso_Estacao_Cheque, TextArg, TextArg, IntArg) \
    X(TORVA_Endosso_Estacao_ChequeEX, TextArg, TextArg, IntArg, TextArg) \
    X(TORVA_Impressora_Abrir_Gaveta) \
    X(TORVA_Impressora_Cortar_Papel) \
    X(TORVA_Impressora_Avancar_Papel, IntArg) \
    X(TORVA_Autenticar_Imprimir, TextArg) \
    X(TORVA_Autenticar_Reimprimir) \
    X(TORVA_Display_Enviar_Texto, TextArg) \
    X(TORVA_Display_Cursor, IntArg, IntArg, IntArg) \
    X(TORVA_Display_Apagar_Texto, IntArg) \
    X(TORVA_Display_Configurar, IntArg, IntArg, IntArg) \
    X(TORVA_Display_Inicializar, IntArg) \
    X(TORVA_Sys_Log, TextArg, IntArg)
