// The queries: each answers from the printer's memory. Amounts are
// Brazilian text ("29,80"); a list puts ";" between its entries (a "|"
// would split the agent's response record).

#include "virtual_printer/books.h"
#include "virtual_printer/printer.h"

namespace zentrada::virtual_printer {
namespace {

template <class Entries, class Format>
std::string List(const Entries& entries, Format format) {
    std::string text;
    bool first = true;
    for (const auto& entry : entries) {
        if (!first) text += ';';
        text += format(entry);
        first = false;
    }
    return text;
}

// The day's net sales, or the tax on them, on the ISS rates (S) or on
// the ICMS ones (T, and F, I and N, which bear none).
Cents RateTotals(const PrinterState& state, char kind, bool tax) {
    Cents total = 0;
    for (const TaxRate& rate : state.taxRates)
        if (!rate.code.empty() && rate.code[0] == kind) total += tax ? Percent(rate.total, rate.rate) : rate.total;
    if (kind == 'T' && !tax) total += state.daySubstituted + state.dayExempt + state.dayNotLevied;
    return total;
}

// "T1 26,82;...;S1 0,00;F 0,00;I 0,00;N 0,00"
std::string DayRates(const PrinterState& s) {
    std::string text;
    for (const TaxRate& rate : s.taxRates) text += rate.code + " " + FormatMoney(rate.total) + ";";
    return text + "F " + FormatMoney(s.daySubstituted) + ";I " + FormatMoney(s.dayExempt) + ";N " +
           FormatMoney(s.dayNotLevied);
}

const char* DocumentName(Document document) {
    switch (document) {
        case Document::None: return "nenhum";
        case Document::FiscalReceipt: return "cupom fiscal";
        case Document::NonFiscalVoucher: return "comprovante nao fiscal";
        case Document::Ccd: return "CCD";
        case Document::ManagementReport: return "relatorio gerencial";
    }
    return "nenhum";
}

std::string Counters(const PrinterState& s) {
    return "COO " + ZeroPadded(s.coo, 6) + ";CCF " + ZeroPadded(s.ccf, 6) + ";GNF " + ZeroPadded(s.gnf, 6) + ";CRZ " +
           ZeroPadded(s.crz, 4) + ";CRO " + ZeroPadded(s.cro, 4);
}

std::string ReceiptState(const PrinterState& s) {
    if (s.document != Document::FiscalReceipt) return "fechado";
    return s.payments.empty() ? "aberto;itens " + std::to_string(s.items.size()) : "em pagamento";
}

// A query of one text: the text its function gives, into the first buffer.
#define ZV_ANSWER(name, expression)                                              \
    {"TORVA_" #name, [](Printer& printer, const Call& call) -> Status {          \
         const PrinterState& s = printer.state;                                  \
         (void)s;                                                                \
         call.Out(0, expression);                                                \
         return kOk;                                                             \
     }}

Status ItemInformation(Printer& printer, const Call& call) {
    const PrinterState& s = printer.state;
    const auto number = ParseDecimal(call.Text(0), 0);
    if (!number || *number < 1 || *number > static_cast<std::int64_t>(s.items.size())) return kNoSuchItem;
    const Item& item = s.items[static_cast<std::size_t>(*number - 1)];
    call.Out(1, item.code + ";" + item.description + ";" + FormatQuantity(item.quantity) + ";" + item.unit + ";" +
                    FormatMoney(item.unitPrice) + ";" + FormatMoney(item.Net()) + ";" + item.taxCode + ";" +
                    (item.cancelled ? "cancelado" : "vendido"));
    return kOk;
}

Status ErrorMessage(Printer&, const Call& call) {
    const auto status = ParseDecimal(call.Text(0), 0);
    call.Out(1, StatusMessage(status ? static_cast<std::int32_t>(*status) : -1));
    return kOk;
}

Status RatesOfReceipt(Printer& printer, const Call& call) {
    const PrinterState& s = printer.state;
    call.Out(0, List(s.taxRates, [](const TaxRate& r) { return r.code; }));
    call.Out(1, List(s.taxRates, [](const TaxRate& r) { return FormatDecimal(r.rate, 2); }));
    // The open receipt's net per rate, its subtotal adjustment shared out.
    const ReceiptBooks books = s.document == Document::FiscalReceipt ? BooksOf(s) : ReceiptBooks{};
    call.Out(2, List(s.taxRates, [&](const TaxRate& r) {
                 Cents net = 0;
                 for (const auto& [code, total] : books.rates)
                     if (code == r.code) net = total;
                 return FormatMoney(net);
             }));
    return kOk;
}

Status PrinterStateEx(Printer& printer, const Call& call) {
    const PrinterState& s = printer.state;
    call.Out(0, "on-line");
    call.Out(1, "papel ok");
    call.Out(2, std::string("documento: ") + DocumentName(s.document));
    call.Out(3, s.dayOpen ? "dia aberto " + s.dayDate : "dia fechado");
    return kOk;
}

Status GrossSale(Printer& printer, const Call& call) {
    call.Out(0, FormatMoney(printer.state.dayGross));
    call.Out(1, FormatMoney(printer.state.grandTotal));
    return kOk;
}

Status Versions(Printer&, const Call& call) {
    call.Out(0, "01.00.00");
    call.Out(1, "07/12/2026");
    call.Out(2, "00:00:00");
    return kOk;
}

Status TwoTexts(Printer&, const Call& call, const char* first, const char* second) {
    call.Out(0, first);
    call.Out(1, second);
    return kOk;
}

Status NumberZero(Printer&, const Call& call) {
    call.OutNumber(0, 0);
    return kOk;
}

Status PaperCutState(Printer&, const Call& call) {
    call.OutNumber(0, 1);
    return kOk;
}

Status TotalOfDays(Printer& printer, const Call& call) {
    call.Out(2, FormatMoney(printer.state.dayGross));
    return kOk;
}

constexpr HandlerRow kRows[] = {
    ZV_ANSWER(Obter_Dados_Usuario, List(s.cliche, [](const std::string& l) { return l; })),
    ZV_ANSWER(Obter_Tabela_Aliquotas, List(s.taxRates, [](const TaxRate& r) { return r.code + " " + FormatDecimal(r.rate, 2); })),
    ZV_ANSWER(Obter_Tabela_Pagamentos, List(s.paymentForms, [](const NamedTotal& f) { return f.name; })),
    ZV_ANSWER(Obter_Tabela_NaoFiscais, List(s.nonFiscalTotalizers, [](const NamedTotal& t) { return t.name; })),
    ZV_ANSWER(Obter_Tabela_Relatorios_Gerenciais, List(s.reports, [](const NamedTotal& r) { return r.name; })),
    ZV_ANSWER(Obter_Total_Cancelado, FormatMoney(s.dayCancelled)),
    ZV_ANSWER(Obter_Total_Aliquotas, DayRates(s)),
    ZV_ANSWER(Obter_Total_Bruto, FormatMoney(s.dayGross)),
    ZV_ANSWER(Obter_Total_Descontos, FormatMoney(s.dayDiscounts)),
    ZV_ANSWER(Obter_Total_Acrescimos, FormatMoney(s.daySurcharges)),
    ZV_ANSWER(Obter_Total_Troco, FormatMoney(s.dayChange)),
    ZV_ANSWER(Obter_Venda_Liquida_ICMS, FormatMoney(RateTotals(s, 'T', false))),
    ZV_ANSWER(Obter_Venda_Liquida_ISSQN, FormatMoney(RateTotals(s, 'S', false))),
    ZV_ANSWER(Obter_Total_ISSQN, FormatMoney(RateTotals(s, 'S', true))),
    ZV_ANSWER(Obter_Total_ICMS, FormatMoney(RateTotals(s, 'T', true))),
    ZV_ANSWER(Obter_Dados_Impressora, "IMPRESSORA VIRTUAL ZENTRADA;ECF 001;48 colunas"),
    ZV_ANSWER(Obter_Cliche_Usuario, List(s.cliche, [](const std::string& l) { return l; })),
    ZV_ANSWER(Obter_Cliche_UsuarioEX, List(s.cliche, [](const std::string& l) { return l; })),
    ZV_ANSWER(Obter_Data_Hora_Jornada, s.dayOpen ? s.dayDate : std::string()),
    ZV_ANSWER(Obter_Numero_ECF_Loja, "001;0001"),
    ZV_ANSWER(Obter_Hora_Relogio, Printer::DateTime()),
    ZV_ANSWER(Obter_Simbolo_Moeda, "R$"),
    ZV_ANSWER(Obter_Casas_Decimais, "2"),
    ZV_ANSWER(Obter_Desconto_Iss, "0"),
    ZV_ANSWER(Obter_Contadores, Counters(s)),
    ZV_ANSWER(Obter_Estado_Impressora, "Impressora on-line"),
    ZV_ANSWER(Obter_GT, FormatMoney(s.grandTotal)),
    ZV_ANSWER(Obter_Linhas_Impressas, std::to_string(s.linesPrinted)),
    ZV_ANSWER(Obter_Linhas_Impressas_RG, std::to_string(s.linesPrinted)),
    ZV_ANSWER(Obter_Linhas_Impressas_CCD, std::to_string(s.linesPrinted)),
    ZV_ANSWER(Obter_Dados_Jornada, s.dayOpen ? "aberto;" + s.dayDate : "fechado;" + s.lastReductionDate),
    ZV_ANSWER(Obter_Caracteres_Linha, "48"),
    ZV_ANSWER(Obter_Operador, s.operatorName),
    ZV_ANSWER(Obter_Numero_Ultimo_Item, std::to_string(s.items.size())),
    ZV_ANSWER(Obter_Estado_Cupom, ReceiptState(s)),
    ZV_ANSWER(Obter_Informacao_Ultimo_Documento, "COO " + ZeroPadded(s.coo, 6)),
    ZV_ANSWER(Obter_Linhas_Impressas_Vendas, std::to_string(s.items.size() * 2)),
    ZV_ANSWER(Obter_Linhas_Impressas_Pagamentos, std::to_string(s.payments.size())),
    ZV_ANSWER(Obter_Total_Itens_Vendidos, std::to_string(s.dayItems)),
    ZV_ANSWER(Obter_Estado_Memoria_Fiscal, "OK"),
    ZV_ANSWER(Obter_Estado_MFD, "OK"),
    ZV_ANSWER(Obter_Total_Leituras_X_Impressas, std::to_string(s.readingsX)),
    ZV_ANSWER(Obter_Versao_DLL, "01.00.00 virtual"),
    ZV_ANSWER(Obter_Dados_Ultima_RZ, "CRZ " + ZeroPadded(s.crz, 4) + ";" + s.lastReductionDate),
    ZV_ANSWER(Obter_Numero_Usuario, "1"),
    ZV_ANSWER(Obter_Valores_Cupom, FormatMoney(s.Subtotal()) + ";" + FormatMoney(s.Paid())),
    {"TORVA_Obter_Tabela_Aliquotas_Cupom", RatesOfReceipt},
    {"TORVA_Obter_Estado_ImpressoraEX", PrinterStateEx},
    {"TORVA_Obter_Informacao_Item", ItemInformation},
    {"TORVA_Obter_Mensagem_Erro", ErrorMessage},
    {"TORVA_Obter_Venda_Bruta", GrossSale},
    {"TORVA_Obter_Total_JornadaEX", TotalOfDays},
    {"TORVA_Obter_Versao_SWBasicoEX", Versions},
    {"TORVA_Obter_Versao_SWBasico", Versions},
    {"TORVA_Obter_Codigo_Nacional_ECF", [](Printer& p, const Call& c) { return TwoTexts(p, c, "000000", "ECF-VIRTUAL"); }},
    {"TORVA_Obter_Arredonda_Trunca_Fabricacao", [](Printer& p, const Call& c) { return TwoTexts(p, c, "A", "01/01/2026"); }},
    {"TORVA_Obter_Log_Comandos", [](Printer& p, const Call& c) { return TwoTexts(p, c, "", ""); }},
    {"TORVA_Obter_Estado_Corte_Papel", PaperCutState},
    {"TORVA_Obter_Estado_Horario_Verao", NumberZero},
    {"TORVA_Obter_Estado_ReducaoZ_Automatica", NumberZero},
};
static_assert(NamesEntryPoints(kRows));

}  // namespace

std::span<const HandlerRow> QueryHandlers() { return kRows; }

}  // namespace zentrada::virtual_printer
