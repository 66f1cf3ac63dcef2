// The virtual printer's statuses and their Portuguese messages, as
// TORVA_Obter_Mensagem_Erro gives them. 0 is success; 1 and 3 are left
// unused, since the agent gives 1 a meaning of its own (no data) and writes
// 3 for its own errors.
#pragma once

#include <cstdint>
#include <string_view>

namespace zentrada::virtual_printer {

enum Status : std::int32_t {
    kOk = 0,
    kPortNotOpen = 2,
    kNoDocument = 10,
    kDocumentOpen = 11,
    kDayClosed = 12,
    kReductionPending = 13,
    kNotFullyPaid = 14,
    kNoSuchItem = 15,
    kInvalidParameter = 16,
    kUnknownTaxRate = 17,
    kUnknownPaymentForm = 18,
    kItemCancelled = 19,
    kPaymentStarted = 20,
    kTableFull = 21,
    kWrongDocument = 22,
    kUnknownTotalizer = 23,
    kUnknownReport = 24,
    kNoAdjustment = 25,
    kAdjustmentExists = 26,
    kNothingToCancel = 27,
    kNoPayment = 28,
    kPaperOut = 30,
    kOffline = 31,
    kPortFailure = 32,
    kStateDamaged = 40,
    kStateOtherVersion = 41,
    kStateNotSaved = 42,
};

struct StatusText {
    Status status;
    const char* text;  // cp1252
};

inline constexpr StatusText kStatusTexts[] = {
    {kOk, "Comando executado com sucesso."},
    {kPortNotOpen, "Porta de comunica\xE7\xE3o n\xE3o aberta."},
    {kNoDocument, "Nenhum documento aberto."},
    {kDocumentOpen, "H\xE1 um documento aberto."},
    {kDayClosed, "Jornada fiscal fechada."},
    {kReductionPending, "Redu\xE7\xE3o Z pendente: o dia fiscal j\xE1 foi encerrado."},
    {kNotFullyPaid, "Pagamento incompleto: o total do cupom n\xE3o foi pago."},
    {kNoSuchItem, "Item inexistente."},
    {kInvalidParameter, "Par\xE2metro inv\xE1lido."},
    {kUnknownTaxRate, "Al\xEDquota n\xE3o programada."},
    {kUnknownPaymentForm, "Forma de pagamento n\xE3o programada."},
    {kItemCancelled, "Item j\xE1 cancelado."},
    {kPaymentStarted, "Pagamento j\xE1 iniciado: o cupom n\xE3o aceita mais itens nem descontos."},
    {kTableFull, "Tabela cheia."},
    {kWrongDocument, "Comando n\xE3o permitido no documento aberto."},
    {kUnknownTotalizer, "Totalizador n\xE3o fiscal n\xE3o programado."},
    {kUnknownReport, "Relat\xF3rio gerencial n\xE3o programado."},
    {kNoAdjustment, "Desconto ou acr\xE9scimo inexistente."},
    {kAdjustmentExists, "Desconto ou acr\xE9scimo j\xE1 aplicado."},
    {kNothingToCancel, "Nenhum documento a cancelar."},
    {kNoPayment, "Nenhum pagamento registrado."},
    {kPaperOut, "Fim do papel."},
    {kOffline, "Impressora desligada ou sem comunica\xE7\xE3o."},
    {kPortFailure, "Falha ao abrir a porta de comunica\xE7\xE3o."},
    {kStateDamaged, "Mem\xF3ria da impressora virtual danificada: apague o arquivo de estado para recome\xE7" "ar."},
    {kStateOtherVersion, "Mem\xF3ria da impressora virtual de outra vers\xE3o: apague o arquivo de estado para recome\xE7" "ar."},
    {kStateNotSaved, "Mem\xF3ria da impressora virtual n\xE3o p\xF4" "de ser gravada."},
};

// The message of a status; a status the printer does not use has one too.
inline std::string_view StatusMessage(std::int32_t status) {
    for (const StatusText& entry : kStatusTexts)
        if (entry.status == status) return entry.text;
    return "Erro desconhecido.";
}

}  // namespace zentrada::virtual_printer
