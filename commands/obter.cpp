// Queries: totals, tables, counters, states, versions and memory files.
// Every text output is a 1500-byte buffer. TORVA_Verifica_Impressora_Ligada
// is bound but never executed: it is answered as a wrong parameter count.
#include "commands/families.h"
#include "commands/frame.h"

namespace zentrada::commands {
namespace {

constexpr CommandRow kObterRows[] = {
    ZENTRADA_ROW(400, TORVA_Obter_Dados_Usuario, Out<1500>),
    ZENTRADA_ROW(401, TORVA_Obter_Tabela_Aliquotas, Out<1500>),
    ZENTRADA_ROW(402, TORVA_Obter_Tabela_Aliquotas_Cupom, Out<1500>, Out<1500>, Out<1500>),
    ZENTRADA_ROW(403, TORVA_Obter_Tabela_Pagamentos, Out<1500>),
    ZENTRADA_ROW(404, TORVA_Obter_Tabela_NaoFiscais, Out<1500>),
    ZENTRADA_ROW(405, TORVA_Obter_Tabela_Relatorios_Gerenciais, Out<1500>),
    ZENTRADA_ROW(406, TORVA_Obter_Total_Cancelado, Out<1500>),
    ZENTRADA_ROW(407, TORVA_Obter_Total_Aliquotas, Out<1500>),
    ZENTRADA_ROW(408, TORVA_Obter_Total_Bruto, Out<1500>),
    ZENTRADA_ROW(409, TORVA_Obter_Total_Descontos, Out<1500>),
    ZENTRADA_ROW(410, TORVA_Obter_Total_Acrescimos, Out<1500>),
    ZENTRADA_ROW(411, TORVA_Obter_Total_Troco, Out<1500>),
    ZENTRADA_ROW(412, TORVA_Obter_Venda_Liquida_ICMS, Out<1500>),
    ZENTRADA_ROW(413, TORVA_Obter_Venda_Liquida_ISSQN, Out<1500>),
    ZENTRADA_ROW(414, TORVA_Obter_Total_ISSQN, Out<1500>),
    ZENTRADA_ROW(415, TORVA_Obter_Total_ICMS, Out<1500>),
    ZENTRADA_ROW(416, TORVA_Obter_Dados_Impressora, Out<1500>),
    ZENTRADA_ROW(417, TORVA_Obter_Cliche_Usuario, Out<1500>),
    ZENTRADA_ROW(418, TORVA_Obter_Data_Hora_Jornada, Out<1500>),
    ZENTRADA_ROW(419, TORVA_Obter_Numero_ECF_Loja, Out<1500>),
    ZENTRADA_ROW(420, TORVA_Obter_Hora_Relogio, Out<1500>),
    ZENTRADA_ROW(421, TORVA_Obter_Simbolo_Moeda, Out<1500>),
    ZENTRADA_ROW(422, TORVA_Obter_Casas_Decimais, Out<1500>),
    ZENTRADA_ROW(423, TORVA_Obter_Desconto_Iss, Out<1500>),
    ZENTRADA_ROW(424, TORVA_Obter_Contadores, Out<1500>),
    ZENTRADA_ROW(425, TORVA_Obter_Estado_Impressora, Out<1500>),
    ZENTRADA_ROW(426, TORVA_Obter_Estado_ImpressoraEX, Out<1500>, Out<1500>, Out<1500>, Out<1500>),
    ZENTRADA_ROW(427, TORVA_Obter_GT, Out<1500>),
    ZENTRADA_ROW(428, TORVA_Obter_Linhas_Impressas, Out<1500>),
    ZENTRADA_ROW(429, TORVA_Obter_Linhas_Impressas_RG, Out<1500>),
    ZENTRADA_ROW(430, TORVA_Obter_Linhas_Impressas_CCD, Out<1500>),
    ZENTRADA_ROW(431, TORVA_Obter_Dados_Jornada, Out<1500>),
    ZENTRADA_ROW(432, TORVA_Obter_Caracteres_Linha, Out<1500>),
    ZENTRADA_ROW(433, TORVA_Obter_Operador, Out<1500>),
    ZENTRADA_ROW(434, TORVA_Obter_Numero_Ultimo_Item, Out<1500>),
    ZENTRADA_ROW(435, TORVA_Obter_Informacao_Item, Text, Out<1500>),
    ZENTRADA_ROW(436, TORVA_Obter_Estado_Cupom, Out<1500>),
    ZENTRADA_ROW(437, TORVA_Obter_Informacao_Ultimo_Documento, Out<1500>),
    ZENTRADA_ROW(438, TORVA_Obter_Estado_Corte_Papel, OutFlag),
    ZENTRADA_ROW(439, TORVA_Obter_Linhas_Impressas_Vendas, Out<1500>),
    ZENTRADA_ROW(440, TORVA_Obter_Linhas_Impressas_Pagamentos, Out<1500>),
    ZENTRADA_ROW(441, TORVA_Obter_Total_Itens_Vendidos, Out<1500>),
    ZENTRADA_ROW(442, TORVA_Obter_Estado_Memoria_Fiscal, Out<1500>),
    ZENTRADA_ROW(443, TORVA_Obter_Estado_MFD, Out<1500>),
    ZENTRADA_ROW(444, TORVA_Obter_Total_Leituras_X_Impressas, Out<1500>),
    ZENTRADA_ROW(445, TORVA_Obter_Estado_Horario_Verao, OutFlag),
    ZENTRADA_ROW(446, TORVA_Obter_Venda_Bruta, Out<1500>, Out<1500>),
    ZENTRADA_ROW(447, TORVA_Obter_Mensagem_Erro, Text, Out<1500>),
    ZENTRADA_ROW(448, TORVA_Obter_Dados_MF_MFD, Text, Text, Int, Int, Int, Int, Text),
    ZENTRADA_ROW(449, TORVA_Obter_Versao_DLL, Out<1500>),
    ZENTRADA_ROW(450, TORVA_Obter_Total_JornadaEX, Text, Text, Out<1500>),
    ZENTRADA_ROW(451, TORVA_Obter_Dados_Ultima_RZ, Out<1500>),
    ZENTRADA_ROW(452, TORVA_Obter_Dados_Arquivos_MF_MFD, Text, Text, Int, Int, Int, Int, Text, Text, Text),
    ZENTRADA_ROW(453, TORVA_Obter_Dados_MF_MFD_Progresso, Text, Text, Int, Int, Int, Int, Text, Out<1500>),
    ZENTRADA_ROW(454, TORVA_Obter_AtoCOTEPE_SeparadoEX, Text, Int),
    ZENTRADA_ROW(455, TORVA_Obter_Arquivos_Binarios, Text, Text, Int, Text, Text),
    ZENTRADA_ROW(456, TORVA_Obter_Arquivo_Binario_MF, Text),
    ZENTRADA_ROW(457, TORVA_Obter_Arquivo_Binario_MFD, Text),
    ZENTRADA_ROW(458, TORVA_Obter_Versao_SWBasicoEX, Out<1500>, Out<1500>, Out<1500>),
    ZENTRADA_ROW(459, TORVA_Obter_Codigo_Nacional_ECF, Out<1500>, Out<1500>),
    ZENTRADA_ROW(460, TORVA_Obter_Numero_Usuario, Out<1500>),
    ZENTRADA_ROW(461, TORVA_Obter_Arredonda_Trunca_Fabricacao, Out<1500>, Out<1500>),
    ZENTRADA_ROW(462, TORVA_Obter_Log_Comandos, Out<1500>, Out<1500>),
    ZENTRADA_ROW(463, TORVA_Obter_Estado_ReducaoZ_Automatica, OutFlag),
    ZENTRADA_ROW(464, TORVA_Obter_Cliche_UsuarioEX, Out<1500>),
    ZENTRADA_ROW(465, TORVA_Obter_Valores_Cupom, Out<1500>),
    ZENTRADA_ROW(466, TORVA_Salvar_Binario_MF, Text),
    ZENTRADA_ROW(467, TORVA_Obter_Versao_SWBasico, Out<1500>, Out<1500>),
    ZENTRADA_ROW(468, TORVA_Obter_AtoCOTEPE_Separado, Text),
    ZENTRADA_ROW(469, TORVA_Obter_AtoCOTEPE_Separado_EX, Text, Int),
    ZENTRADA_ROW_WITH_RULE(RowRule::NeverExecuted, 470, TORVA_Verifica_Impressora_Ligada),
    ZENTRADA_ROW(471, TORVA_Separar_AtoCOTEPE, Text),
};

}  // namespace

ZENTRADA_DEFINE_FAMILY(ExecuteObter, ObterRows, kObterRows)

}  // namespace zentrada::commands
