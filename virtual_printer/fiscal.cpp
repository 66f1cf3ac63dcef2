// The fiscal receipt: opening, items, discounts and surcharges, payments,
// cancellations and closing, with the totals they move.
//
// Parameters, in the order of the command line:
//   Abrir_Cupom, Dados_Consumidor: CPF/CNPJ, name, address, (free text), (int)
//   Vender_Item(EX, _AD): code, description, tax rate code (T1.., S1.., F, I,
//     N), (decimals), quantity ("2", "1,500"), unit, unit price in cents,
//     item adjustment kind ("D$", "D%", "A$", "A%" or empty), its value in
//     cents or hundredths of a percent; EX and _AD add arguments taken as given
//   Pagamento: payment form, amount ("30,00"), (int), (text), (text)
//   Desconto_Acrescimo_Item: item number (empty: the last), value, percent?, surcharge?
//   Desconto_Acrescimo_ItemEX: item number, (text), value, percent?, surcharge?
//   Desconto_Acrescimo_Subtotal: (text), value, percent?, surcharge?
//   Cancelar_Item: item number; Cancelar_Item_Parcial: item number, quantity, (int)
//   Cancelar_Desconto_Acrescimo_Item(EX): [item number,] surcharge?
//   Cancelar_Acrescimo_Desconto_Subtotal: surcharge?

#include "virtual_printer/books.h"
#include "virtual_printer/printer.h"

namespace zentrada::virtual_printer {
namespace {

// Exempt, substituted and untaxed items need no programmed rate.
bool KnownTaxCode(PrinterState& state, const std::string& code) { return state.RateTotal(code) != nullptr; }

// An adjustment of `value` cents, or hundredths of a percent of `base`:
// negative for a discount. A negative value, or a percentage above 100 %,
// is no adjustment at all.
std::optional<Cents> Adjustment(Cents base, std::int32_t value, bool percent, bool surcharge) {
    if (value < 0 || (percent && value > 10000)) return std::nullopt;
    const Cents amount = percent ? Percent(base, value) : value;
    return surcharge ? amount : -amount;
}

// A discount must leave the item (or the subtotal) something, and nothing
// may grow past the largest receipt.
bool Fits(Cents base, Cents adjustment, Cents others) {
    return base + adjustment > 0 && others + base + adjustment <= kLargestReceipt;
}

Item* FindItem(PrinterState& state, const std::string& number) {
    if (state.items.empty()) return nullptr;
    if (number.empty()) return &state.items.back();
    const auto place = ParseDecimal(number, 0);
    if (!place || *place < 1 || *place > static_cast<std::int64_t>(state.items.size())) return nullptr;
    return &state.items[static_cast<std::size_t>(*place - 1)];
}

void PrintItem(Printer& printer, const Item& item, std::size_t number) {
    printer.Print(ZeroPadded(static_cast<int>(number), 3) + " " + item.code + " " + item.description);
    printer.PrintColumns("    " + FormatQuantity(item.quantity) + " " + item.unit + " x " + FormatMoney(item.unitPrice) +
                             "  " + item.taxCode,
                         FormatMoney(item.Gross()));
    if (item.adjustment != 0)
        printer.PrintColumns(item.adjustment < 0 ? "    desconto item" : "    acrescimo item",
                             FormatMoney(item.adjustment));
}

Status OpenReceipt(Printer& printer, const Call& call) {
    if (const Status status = OpenDocument(printer); status != kOk) return status;
    PrinterState& state = printer.state;
    state.consumerId = call.Text(0);
    state.consumerName = call.Text(1);
    state.consumerAddress = call.Text(2);
    printer.PrintHeader("CUPOM FISCAL");
    if (!state.consumerId.empty()) printer.Print("CPF/CNPJ consumidor: " + state.consumerId);
    if (!state.consumerName.empty()) printer.Print("Nome: " + state.consumerName);
    if (!state.consumerAddress.empty()) printer.Print("Endereco: " + state.consumerAddress);
    printer.Print("ITEM CODIGO DESCRICAO");
    printer.PrintColumns("    QTD UN x VL UNIT  ALIQ", "VL ITEM");
    printer.PrintRule();
    return kOk;
}

Status SellItem(Printer& printer, const Call& call) {
    PrinterState& state = printer.state;
    Item item;
    item.code = call.Text(0);
    item.description = call.Text(1);
    item.taxCode = call.Text(2);
    item.unit = call.Text(5);
    const auto quantity = ParseQuantity(call.Text(4));
    item.unitPrice = call.Int(6);
    if (!quantity || *quantity <= 0 || *quantity > kLargestQuantity || item.unitPrice <= 0 ||
        item.description.empty())
        return kInvalidParameter;
    if (!KnownTaxCode(state, item.taxCode)) return kUnknownTaxRate;
    item.quantity = *quantity;
    const std::string kind = call.Text(7);
    if (!kind.empty()) {
        if (kind.size() != 2 || (kind[0] != 'D' && kind[0] != 'A') || (kind[1] != '$' && kind[1] != '%'))
            return kInvalidParameter;
        const auto adjustment = Adjustment(item.Gross(), call.Int(8), kind[1] == '%', kind[0] == 'A');
        if (!adjustment) return kInvalidParameter;
        item.adjustment = *adjustment;
    }
    if (!Fits(item.Gross(), item.adjustment, state.ItemsTotal())) return kInvalidParameter;
    state.items.push_back(item);
    PrintItem(printer, item, state.items.size());
    return kOk;
}

Status Subtotal(Printer& printer, const Call& call) {
    call.Out(0, FormatMoney(printer.state.Subtotal()));
    return kOk;
}

}  // namespace

Status Pay(Printer& printer, const Call& call) {
    PrinterState& state = printer.state;
    if (state.ItemsTotal() <= 0) return kNoSuchItem;
    const std::string form = call.Text(0);
    const NamedTotal* named = state.FindNamed(state.paymentForms, form);
    if (named == nullptr) return kUnknownPaymentForm;
    const auto amount = ParseMoney(call.Text(1));
    if (!amount || *amount <= 0 || *amount > kLargestReceipt) return kInvalidParameter;
    // The change comes out of the first form, cash: no other may pay more
    // than is still due, so the cash taken always covers the change.
    if (named != &state.paymentForms.front() && *amount > state.Subtotal() - state.Paid()) return kInvalidParameter;
    if (state.payments.empty() && state.document == Document::FiscalReceipt) {
        printer.PrintRule();
        printer.PrintColumns("TOTAL R$", FormatMoney(state.Subtotal()));
    }
    state.payments.push_back({form, *amount});
    printer.PrintColumns(form, FormatMoney(*amount));
    return kOk;
}

namespace {

Status AdjustItem(Printer& printer, const Call& call, std::size_t first) {
    PrinterState& state = printer.state;
    Item* item = FindItem(state, call.Text(0));
    if (item == nullptr) return kNoSuchItem;
    if (item->cancelled) return kItemCancelled;
    if (item->adjustment != 0) return kAdjustmentExists;
    const auto adjustment =
        Adjustment(item->Gross(), call.Int(first), call.Int(first + 1) != 0, call.Int(first + 2) != 0);
    if (!adjustment || *adjustment == 0 || !Fits(item->Gross(), *adjustment, state.ItemsTotal() - item->Net()))
        return kInvalidParameter;
    item->adjustment = *adjustment;
    printer.PrintColumns(*adjustment < 0 ? "desconto item " + call.Text(0) : "acrescimo item " + call.Text(0),
                         FormatMoney(*adjustment));
    return kOk;
}

Status AdjustItemShort(Printer& printer, const Call& call) { return AdjustItem(printer, call, 1); }
Status AdjustItemLong(Printer& printer, const Call& call) { return AdjustItem(printer, call, 2); }

Status AdjustSubtotal(Printer& printer, const Call& call) {
    PrinterState& state = printer.state;
    if (state.subtotalAdjusted) return kAdjustmentExists;
    if (state.ItemsTotal() <= 0) return kNoSuchItem;
    const auto adjustment = Adjustment(state.ItemsTotal(), call.Int(1), call.Int(2) != 0, call.Int(3) != 0);
    if (!adjustment || *adjustment == 0 || !Fits(state.ItemsTotal(), *adjustment, 0)) return kInvalidParameter;
    state.subtotalAdjustment = *adjustment;
    state.subtotalAdjusted = true;
    printer.PrintColumns("SUBTOTAL", FormatMoney(state.ItemsTotal()));
    printer.PrintColumns(*adjustment < 0 ? "desconto subtotal" : "acrescimo subtotal", FormatMoney(*adjustment));
    return kOk;
}

// The open receipt, else the last one closed while it is still the last
// document printed.
Status CancelReceipt(Printer& printer, const Call&) {
    PrinterState& state = printer.state;
    const ReceiptBooks books = BooksOf(state);
    if (state.document == Document::FiscalReceipt) {
        BookCancelledOpen(state, books);
        ++state.cancelledReceipts;
        printer.PrintRule();
        printer.PrintCentered("CUPOM FISCAL CANCELADO");
        printer.PrintFooter();
        return kOk;
    }
    if (state.lastReceiptCoo == 0 || state.lastReceiptCoo != state.coo) return kNothingToCancel;
    BookCancelledClosed(state, books);
    RefundPayments(state, books.net);
    state.lastReceiptTotal = 0;
    state.lastReceiptCoo = 0;
    ++state.cancelledReceipts;
    if (const Status status = OpenDocument(printer); status != kOk) return status;
    printer.PrintHeader("CANCELAMENTO DE CUPOM FISCAL");
    printer.PrintColumns("COO do cupom cancelado", ZeroPadded(state.coo - 1, 6));
    printer.PrintColumns("VALOR CANCELADO", FormatMoney(books.net));
    printer.PrintFooter();
    return kOk;
}

Status CancelItem(Printer& printer, Item* item, std::size_t number) {
    if (item == nullptr) return kNoSuchItem;
    if (item->cancelled) return kItemCancelled;
    item->cancelled = true;
    printer.PrintColumns("cancelado item " + ZeroPadded(static_cast<int>(number), 3), FormatMoney(-item->Gross()));
    return kOk;
}

Status CancelNumberedItem(Printer& printer, const Call& call) {
    PrinterState& state = printer.state;
    Item* item = call.Text(0).empty() ? nullptr : FindItem(state, call.Text(0));
    return CancelItem(printer, item, item == nullptr ? 0 : static_cast<std::size_t>(item - state.items.data()) + 1);
}

Status CancelLastItem(Printer& printer, const Call&) {
    PrinterState& state = printer.state;
    for (std::size_t i = state.items.size(); i > 0; --i)
        if (!state.items[i - 1].cancelled) return CancelItem(printer, &state.items[i - 1], i);
    return kNoSuchItem;
}

// Takes part of an item's quantity off; its adjustment lapses with it.
Status CancelItemPart(Printer& printer, const Call& call) {
    PrinterState& state = printer.state;
    Item* item = FindItem(state, call.Text(0));
    if (item == nullptr || call.Text(0).empty()) return kNoSuchItem;
    if (item->cancelled) return kItemCancelled;
    const auto quantity = ParseQuantity(call.Text(1));
    if (!quantity || *quantity <= 0 || *quantity >= item->quantity) return kInvalidParameter;
    const Cents before = item->Gross();
    item->quantity -= *quantity;
    item->cancelledQuantity += *quantity;
    item->adjustment = 0;
    printer.PrintColumns("cancelado parcial item " + call.Text(0) + " " + FormatQuantity(*quantity),
                         FormatMoney(item->Gross() - before));
    return kOk;
}

Status CancelItemAdjustment(Printer& printer, const std::string& number, bool surcharge) {
    PrinterState& state = printer.state;
    Item* item = FindItem(state, number);
    if (item == nullptr) return kNoSuchItem;
    if (item->adjustment == 0 || (item->adjustment > 0) != surcharge) return kNoAdjustment;
    printer.PrintColumns(surcharge ? "cancelado acrescimo item" : "cancelado desconto item",
                         FormatMoney(-item->adjustment));
    item->adjustment = 0;
    return kOk;
}

Status CancelLastItemAdjustment(Printer& printer, const Call& call) {
    return CancelItemAdjustment(printer, "", call.Int(0) != 0);
}
Status CancelNumberedItemAdjustment(Printer& printer, const Call& call) {
    return CancelItemAdjustment(printer, call.Text(0), call.Int(1) != 0);
}

Status CancelSubtotalAdjustment(Printer& printer, const Call& call) {
    PrinterState& state = printer.state;
    const bool surcharge = call.Int(0) != 0;
    if (!state.subtotalAdjusted || state.subtotalAdjustment == 0 || (state.subtotalAdjustment > 0) != surcharge)
        return kNoAdjustment;
    printer.PrintColumns(surcharge ? "cancelado acrescimo subtotal" : "cancelado desconto subtotal",
                         FormatMoney(-state.subtotalAdjustment));
    state.subtotalAdjustment = 0;
    state.subtotalAdjusted = false;
    return kOk;
}

Status PrintMessage(Printer& printer, const Call& call, std::size_t lines) {
    for (std::size_t i = 0; i < lines; ++i)
        if (!call.Text(i).empty()) printer.Print(call.Text(i));
    return kOk;
}
Status PrintMessages(Printer& printer, const Call& call) { return PrintMessage(printer, call, 8); }
Status PrintOneMessage(Printer& printer, const Call& call) { return PrintMessage(printer, call, 1); }

Status Consumer(Printer& printer, const Call& call) {
    PrinterState& state = printer.state;
    state.consumerId = call.Text(0);
    state.consumerName = call.Text(1);
    state.consumerAddress = call.Text(2);
    printer.Print("Consumidor: " + state.consumerId + " " + state.consumerName);
    return kOk;
}

// Closing: the whole total paid, the change given, the day's totals moved.
Status Close(Printer& printer) {
    PrinterState& state = printer.state;
    if (state.ItemsTotal() <= 0) return kNoSuchItem;
    if (state.payments.empty()) return kNoPayment;
    const Cents total = state.Subtotal();
    if (state.Paid() < total) return kNotFullyPaid;
    BookClosed(state, BooksOf(state));
    BookPayments(state, total);
    for (const Item& item : state.items) state.dayItems += item.cancelled ? 0 : 1;
    state.lastReceiptTotal = total;
    state.lastReceiptCoo = state.coo;
    ++state.ccf;
    printer.PrintColumns("TROCO R$", FormatMoney(state.Paid() - total));
    printer.PrintColumns("CCF:" + ZeroPadded(state.ccf, 6), "COO:" + ZeroPadded(state.coo, 6));
    printer.PrintFooter();
    return kOk;
}

Status CloseWithCoo(Printer& printer, const Call& call) {
    const Status status = Close(printer);
    if (status == kOk) call.Out(0, "COO " + ZeroPadded(printer.state.coo, 6));
    return status;
}
Status CloseReceipt(Printer& printer, const Call&) { return Close(printer); }

constexpr Needs kReceiptOrNone{In(Document::None) | In(Document::FiscalReceipt)};

constexpr HandlerRow kRows[] = {
    {"TORVA_Fiscal_Abrir_Cupom", OpenReceipt, kIdle, Leaves::Receipt},
    {"TORVA_Fiscal_Vender_Item", SellItem, kSelling},
    {"TORVA_Fiscal_Vender_ItemEX", SellItem, kSelling},
    {"TORVA_Fiscal_Vender_Item_AD", SellItem, kSelling},
    {"TORVA_Fiscal_Obter_SubTotal", Subtotal, kInReceipt},
    {"TORVA_Fiscal_Pagamento", Pay, kInReceipt},
    {"TORVA_Fiscal_Desconto_Acrescimo_Item", AdjustItemShort, kSelling},
    {"TORVA_Fiscal_Desconto_Acrescimo_ItemEX", AdjustItemLong, kSelling},
    {"TORVA_Fiscal_Desconto_Acrescimo_Subtotal", AdjustSubtotal, kReceiptBeforePayment},
    {"TORVA_Fiscal_Cancelar_Cupom", CancelReceipt, kReceiptOrNone, Leaves::Nothing},
    {"TORVA_Fiscal_Cancelar_CupomEX", CancelReceipt, kReceiptOrNone, Leaves::Nothing},
    {"TORVA_Fiscal_Cancelar_Item", CancelNumberedItem, kSelling},
    {"TORVA_Fiscal_Cancelar_Ultimo_Item", CancelLastItem, kSelling},
    {"TORVA_Fiscal_Cancelar_Desconto_Acrescimo_Item", CancelLastItemAdjustment, kSelling},
    {"TORVA_Fiscal_Cancelar_Desconto_Acrescimo_ItemEX", CancelNumberedItemAdjustment, kSelling},
    {"TORVA_Fiscal_Cancelar_Acrescimo_Desconto_Subtotal", CancelSubtotalAdjustment, kReceiptBeforePayment},
    {"TORVA_Fiscal_Cancelar_Item_Parcial", CancelItemPart, kSelling},
    {"TORVA_Fiscal_Imprimir_Mensagem", PrintMessages, kInReceipt},
    {"TORVA_Fiscal_Imprimir_MensagemEX", PrintOneMessage, kInReceipt},
    {"TORVA_Fiscal_Fechar_CupomEX", CloseWithCoo, kInReceipt, Leaves::Nothing},
    {"TORVA_Fiscal_Fechar_Cupom", CloseReceipt, kInReceipt, Leaves::Nothing},
    {"TORVA_Fiscal_Dados_Consumidor", Consumer, kInReceipt},
    {"TORVA_Fiscal_Fechar_CupomEx", CloseWithCoo, kInReceipt, Leaves::Nothing},
};
static_assert(NamesEntryPoints(kRows));

}  // namespace

std::span<const HandlerRow> FiscalHandlers() { return kRows; }

}  // namespace zentrada::virtual_printer
