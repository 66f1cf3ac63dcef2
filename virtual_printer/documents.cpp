// Non-fiscal documents (vouchers, CCD, management reports, cash withdrawal
// and float) and the fiscal reports (X reading, Z reduction, fiscal memory
// reading, opening the day).
//
// Parameters, in the order of the command line:
//   NaoFiscal_Abrir_Comprovante: CPF/CNPJ, name, address, (text), (int)
//   NaoFiscal_Vender_Item: non-fiscal totaliser, amount ("10,00"), (int)
//   NaoFiscal_Pagamento: as the fiscal one; NaoFiscal_Fechar_Comprovante: (int)
//   NaoFiscal_Abrir_CCD: payment form, amount, (instalments), (text)
//   NaoFiscal_Abrir_Relatorio_Gerencial: report name
//   NaoFiscal_Imprimir_Linha(EX), _15Linhas: the lines
//   NaoFiscal_Sangria, NaoFiscal_Fundo_Troco: amount, (int)
//   RelatorioFiscal_Salvar_LeituraX: the file to write the reading into
#include <cstdio>

#include "virtual_printer/books.h"
#include "virtual_printer/printer.h"

namespace zentrada::virtual_printer {
namespace {

Status OpenVoucher(Printer& printer, const Call&) {
    if (const Status status = OpenDocument(printer); status != kOk) return status;
    ++printer.state.gnf;
    printer.PrintHeader("COMPROVANTE NAO FISCAL");
    return kOk;
}

Status VoucherItem(Printer& printer, const Call& call) {
    PrinterState& state = printer.state;
    if (state.FindNamed(state.nonFiscalTotalizers, call.Text(0)) == nullptr) return kUnknownTotalizer;
    const auto amount = ParseMoney(call.Text(1));
    if (!amount || *amount <= 0 || *amount > kLargestReceipt - state.ItemsTotal()) return kInvalidParameter;
    state.items.push_back({"", call.Text(0), "", "", 1000, *amount, 0, false, 0});
    printer.PrintColumns(ZeroPadded(static_cast<int>(state.items.size()), 3) + " " + call.Text(0), FormatMoney(*amount));
    return kOk;
}

Status CloseVoucher(Printer& printer, const Call&) {
    PrinterState& state = printer.state;
    if (state.ItemsTotal() <= 0) return kNoSuchItem;
    if (state.Paid() < state.ItemsTotal()) return kNotFullyPaid;
    for (const Item& item : state.items) {
        if (item.cancelled) continue;
        NamedTotal* totalizer = state.FindNamed(state.nonFiscalTotalizers, item.description);
        totalizer->total += item.Net();
        ++totalizer->count;
    }
    BookPayments(state, state.ItemsTotal());
    printer.PrintColumns("TROCO R$", FormatMoney(state.Paid() - state.ItemsTotal()));
    printer.PrintColumns("GNF:" + ZeroPadded(state.gnf, 6), "COO:" + ZeroPadded(state.coo, 6));
    printer.PrintFooter();
    return kOk;
}

Status CancelVoucher(Printer& printer, const Call&) {
    printer.PrintCentered("COMPROVANTE NAO FISCAL CANCELADO");
    printer.PrintFooter();
    return kOk;
}

Status VoucherSubtotal(Printer& printer, const Call& call) {
    call.Out(0, FormatMoney(printer.state.ItemsTotal()));
    return kOk;
}

Status OpenCcd(Printer& printer, const Call& call) {
    PrinterState& state = printer.state;
    if (state.FindNamed(state.paymentForms, call.Text(0)) == nullptr) return kUnknownPaymentForm;
    const auto amount = ParseMoney(call.Text(1));
    if (!amount || *amount <= 0) return kInvalidParameter;
    if (const Status status = OpenDocument(printer); status != kOk) return status;
    ++state.gnf;
    printer.PrintHeader("COMPROVANTE DE CREDITO OU DEBITO");
    printer.PrintColumns("Forma de pagamento: " + call.Text(0), FormatMoney(*amount));
    printer.PrintColumns("COO do cupom vinculado", ZeroPadded(state.coo - 1, 6));
    return kOk;
}

Status OpenReport(Printer& printer, const Call& call) {
    PrinterState& state = printer.state;
    NamedTotal* report = state.FindNamed(state.reports, call.Text(0));
    if (report == nullptr) return kUnknownReport;
    if (const Status status = OpenDocument(printer); status != kOk) return status;
    ++state.gnf;
    ++report->count;
    state.reportName = call.Text(0);
    printer.PrintHeader("RELATORIO GERENCIAL");
    printer.PrintCentered(call.Text(0));
    return kOk;
}

Status PrintLines(Printer& printer, const Call& call, std::size_t lines) {
    for (std::size_t i = 0; i < lines; ++i) printer.Print(call.Text(i));
    return kOk;
}
Status PrintLine(Printer& printer, const Call& call) { return PrintLines(printer, call, 1); }
Status Print15Lines(Printer& printer, const Call& call) { return PrintLines(printer, call, 15); }

Status CloseCcdOrReport(Printer& printer, const Call&) {
    printer.PrintFooter();
    return kOk;
}

Status CancelCcd(Printer& printer, const Call&) {
    printer.PrintCentered("CCD CANCELADO");
    printer.PrintFooter();
    return kOk;
}

Status Nothing(Printer&, const Call&) { return kOk; }

// A cash withdrawal or float: a whole voucher of its own.
Status CashMovement(Printer& printer, const Call& call, const char* totalizerName, const char* title) {
    PrinterState& state = printer.state;
    const auto amount = ParseMoney(call.Text(0));
    if (!amount || *amount <= 0) return kInvalidParameter;
    NamedTotal* totalizer = state.FindNamed(state.nonFiscalTotalizers, totalizerName);
    if (totalizer == nullptr) return kUnknownTotalizer;
    if (const Status status = OpenDocument(printer); status != kOk) return status;
    ++state.gnf;
    totalizer->total += *amount;
    ++totalizer->count;
    printer.PrintHeader(title);
    printer.PrintColumns(totalizerName, FormatMoney(*amount));
    printer.PrintFooter();
    return kOk;
}
Status Withdrawal(Printer& printer, const Call& call) { return CashMovement(printer, call, "Sangria", "SANGRIA"); }
Status Float(Printer& printer, const Call& call) { return CashMovement(printer, call, "Suprimento", "SUPRIMENTO"); }

// The totals an X reading and a Z reduction print.
void PrintDayTotals(Printer& printer) {
    const PrinterState& state = printer.state;
    printer.PrintColumns("GT inicial", FormatMoney(state.dayStartGrandTotal));
    printer.PrintColumns("GT final", FormatMoney(state.grandTotal));
    printer.PrintColumns("VENDA BRUTA DIARIA", FormatMoney(state.dayGross));
    printer.PrintColumns("CANCELAMENTOS", FormatMoney(state.dayCancelled));
    printer.PrintColumns("DESCONTOS", FormatMoney(state.dayDiscounts));
    printer.PrintColumns("VENDA LIQUIDA", FormatMoney(state.dayGross - state.dayCancelled - state.dayDiscounts));
    printer.PrintColumns("ACRESCIMOS (na venda bruta)", FormatMoney(state.daySurcharges));
    printer.PrintRule();
    for (const TaxRate& rate : state.taxRates)
        printer.PrintColumns(rate.code + " " + FormatDecimal(rate.rate, 2) + "%", FormatMoney(rate.total));
    printer.PrintColumns("F  substituicao tributaria", FormatMoney(state.daySubstituted));
    printer.PrintColumns("I  isento", FormatMoney(state.dayExempt));
    printer.PrintColumns("N  nao incidencia", FormatMoney(state.dayNotLevied));
    printer.PrintRule();
    for (const NamedTotal& form : state.paymentForms) printer.PrintColumns(form.name, FormatMoney(form.total));
    printer.PrintColumns("TROCO", FormatMoney(state.dayChange));
    printer.PrintRule();
    for (const NamedTotal& totalizer : state.nonFiscalTotalizers)
        printer.PrintColumns(totalizer.name, FormatMoney(totalizer.total));
    printer.PrintRule();
    printer.PrintColumns("CRZ", ZeroPadded(state.crz, 4));
    printer.PrintColumns("CRO", ZeroPadded(state.cro, 4));
    printer.PrintColumns("CCF", ZeroPadded(state.ccf, 6));
    printer.PrintColumns("GNF", ZeroPadded(state.gnf, 6));
}

Status ReadingX(Printer& printer, const Call&) {
    PrinterState& state = printer.state;
    ++state.coo;
    ++state.readingsX;
    printer.PrintHeader("LEITURA X");
    PrintDayTotals(printer);
    printer.PrintFooter();
    return kOk;
}

Status SaveReadingX(Printer& printer, const Call& call) {
    const std::string path = call.Text(0);
    if (path.empty()) return kInvalidParameter;
    Printer reading{printer.state, {}};
    PrintDayTotals(reading);
    printer.state.linesPrinted -= static_cast<std::int32_t>(reading.printed.size());  // written, not printed
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return kInvalidParameter;
    for (const std::string& line : reading.printed) std::fprintf(file, "%s\r\n", line.c_str());
    std::fclose(file);
    return kOk;
}

// The Z reduction ends the fiscal day: its totals are printed and cleared,
// and no document is taken again until a day is opened.
Status Reduction(Printer& printer, const Call& call, std::size_t outPlace) {
    PrinterState& state = printer.state;
    if (!state.dayOpen) return kDayClosed;
    ++state.coo;
    ++state.crz;
    printer.PrintHeader("REDUCAO Z");
    printer.PrintColumns("MOVIMENTO DO DIA", state.dayDate);
    PrintDayTotals(printer);
    printer.PrintFooter();
    if (outPlace != 0) call.Out(outPlace, "CRZ " + ZeroPadded(state.crz, 4) + ";" + FormatMoney(state.dayGross));
    state.dayOpen = false;
    state.lastReductionDate = Printer::Date();
    state.dayGross = state.dayCancelled = state.dayDiscounts = state.daySurcharges = state.dayChange = 0;
    state.daySubstituted = state.dayExempt = state.dayNotLevied = 0;
    state.dayStartGrandTotal = state.grandTotal;
    state.lastReceiptTotal = 0;
    state.dayItems = 0;
    for (TaxRate& rate : state.taxRates) rate.total = 0;
    for (auto* table : {&state.paymentForms, &state.nonFiscalTotalizers})
        for (NamedTotal& entry : *table) entry.total = 0, entry.count = 0;
    return kOk;
}
Status ReductionWithData(Printer& printer, const Call& call) { return Reduction(printer, call, 3); }
Status ReductionPlain(Printer& printer, const Call& call) { return Reduction(printer, call, 0); }

Status OpenDay(Printer& printer, const Call&) {
    PrinterState& state = printer.state;
    if (state.dayOpen) return state.dayDate == Printer::Date() ? kOk : kReductionPending;
    state.dayOpen = true;
    state.dayDate = Printer::Date();
    return kOk;
}

Status MemoryReading(Printer& printer, const Call& call) {
    PrinterState& state = printer.state;
    ++state.coo;
    printer.PrintHeader("LEITURA DA MEMORIA FISCAL");
    printer.PrintColumns("de " + call.Text(0), "ate " + call.Text(1));
    printer.PrintColumns("reducoes Z", ZeroPadded(state.crz, 4));
    printer.PrintColumns("GT", FormatMoney(state.grandTotal));
    printer.PrintFooter();
    call.Out(3, "CRZ " + ZeroPadded(state.crz, 4) + ";GT " + FormatMoney(state.grandTotal));
    return kOk;
}

constexpr Needs kCancelVoucher{In(Document::NonFiscalVoucher), Stage::Any, kNothingToCancel};
constexpr Needs kCancelCcd{In(Document::Ccd), Stage::Any, kNothingToCancel};

constexpr HandlerRow kRows[] = {
    {"TORVA_NaoFiscal_Abrir_Comprovante", OpenVoucher, kIdle, Leaves::Voucher},
    {"TORVA_NaoFiscal_Vender_Item", VoucherItem, kVoucherSelling},
    {"TORVA_NaoFiscal_Pagamento", Pay, kInVoucher},
    {"TORVA_NaoFiscal_Cancelar_Comprovante", CancelVoucher, kCancelVoucher, Leaves::Nothing},
    {"TORVA_NaoFiscal_Cancelar_ComprovanteEX", CancelVoucher, kCancelVoucher, Leaves::Nothing},
    {"TORVA_NaoFiscal_Fechar_Comprovante", CloseVoucher, kInVoucher, Leaves::Nothing},
    {"TORVA_NaoFiscal_Obter_SubTotal", VoucherSubtotal, kInVoucher},
    {"TORVA_NaoFiscal_Abrir_CCD", OpenCcd, kIdle, Leaves::Ccd},
    {"TORVA_NaoFiscal_Abrir_Relatorio_Gerencial", OpenReport, kIdle, Leaves::Report},
    {"TORVA_NaoFiscal_Imprimir_LinhaEX", PrintLine, kInCcdOrReport},
    {"TORVA_NaoFiscal_Imprimir_Linha", PrintLine, kInCcdOrReport},
    {"TORVA_NaoFiscal_Imprimir_15Linhas", Print15Lines, kInCcdOrReport},
    {"TORVA_NaoFiscal_Fechar_CCD", CloseCcdOrReport, kInCcd, Leaves::Nothing},
    {"TORVA_NaoFiscal_Fechar_Relatorio_Gerencial", CloseCcdOrReport, kInReport, Leaves::Nothing},
    {"TORVA_NaoFiscal_Cancelar_CCD", CancelCcd, kCancelCcd, Leaves::Nothing},
    {"TORVA_NaoFiscal_Nova_Parcela_CCD", Nothing, kInCcd},
    {"TORVA_NaoFiscal_Nova_Via_CCD", Nothing, kInCcd},
    {"TORVA_NaoFiscal_Sangria", Withdrawal, kIdle, Leaves::Nothing},
    {"TORVA_NaoFiscal_Fundo_Troco", Float, kIdle, Leaves::Nothing},
    {"TORVA_RelatorioFiscal_LeituraX", ReadingX, kIdle},
    {"TORVA_RelatorioFiscal_Salvar_LeituraX", SaveReadingX, kIdle},
    {"TORVA_RelatorioFiscal_RZ", ReductionWithData, kIdle},
    {"TORVA_RelatorioFiscal_ReducaoZ", ReductionWithData, kIdle},
    {"TORVA_RelatorioFiscal_RZEX", ReductionPlain, kIdle},
    {"TORVA_RelatorioFiscal_RZEx", ReductionPlain, kIdle},
    {"TORVA_RelatorioFiscal_Abrir_Jornada", OpenDay},
    {"TORVA_RelatorioFiscal_Abrir_Dia", OpenDay},
    {"TORVA_RelatorioFiscal_Leitura_MF", MemoryReading, kIdle},
};
static_assert(NamesEntryPoints(kRows));

}  // namespace

std::span<const HandlerRow> DocumentHandlers() { return kRows; }

}  // namespace zentrada::virtual_printer
