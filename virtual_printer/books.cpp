#include "virtual_printer/books.h"

namespace zentrada::virtual_printer {
namespace {

// F1, I1 and N1 are F, I and N.
std::string RateKey(const std::string& code) {
    if (code.size() == 2 && code[1] == '1' && (code[0] == 'F' || code[0] == 'I' || code[0] == 'N'))
        return code.substr(0, 1);
    return code;
}

void AddToRates(PrinterState& state, const ReceiptBooks& books, int sign) {
    for (const auto& [code, net] : books.rates)
        if (Cents* total = state.RateTotal(code)) *total += sign * net;
}

}  // namespace

ReceiptBooks BooksOf(const PrinterState& state) {
    ReceiptBooks books;
    for (const Item& item : state.items) {
        const Cents sold = item.SoldGross();
        const Cents stands = item.cancelled ? 0 : item.Gross();
        books.gross += sold;
        books.cancelled += sold - stands;
        if (item.cancelled) continue;  // its adjustment lapses with it
        if (item.adjustment > 0) books.gross += item.adjustment, books.surcharges += item.adjustment;
        if (item.adjustment < 0) books.discounts -= item.adjustment;
        const std::string key = RateKey(item.taxCode);
        auto rate = books.rates.begin();
        while (rate != books.rates.end() && rate->first != key) ++rate;
        if (rate == books.rates.end()) rate = books.rates.insert(rate, {key, 0});
        rate->second += stands + item.adjustment;
    }
    const Cents adjustment = state.subtotalAdjustment;
    if (adjustment > 0) books.gross += adjustment, books.surcharges += adjustment;
    if (adjustment < 0) books.discounts -= adjustment;
    std::vector<Cents> weights;
    for (const auto& rate : books.rates) weights.push_back(rate.second);
    const std::vector<Cents> shares = Spread(adjustment, weights);
    for (std::size_t i = 0; i < shares.size(); ++i) books.rates[i].second += shares[i];
    books.net = books.gross - books.cancelled - books.discounts;
    return books;
}

void BookClosed(PrinterState& state, const ReceiptBooks& books) {
    state.dayGross += books.gross;
    state.dayCancelled += books.cancelled;
    state.dayDiscounts += books.discounts;
    state.daySurcharges += books.surcharges;
    state.grandTotal += books.gross;
    AddToRates(state, books, +1);
}

void BookCancelledOpen(PrinterState& state, const ReceiptBooks& books) {
    state.dayGross += books.gross;
    state.dayCancelled += books.cancelled + books.net;
    state.dayDiscounts += books.discounts;
    state.daySurcharges += books.surcharges;
    state.grandTotal += books.gross;
}

void BookCancelledClosed(PrinterState& state, const ReceiptBooks& books) {
    state.dayCancelled += books.net;
    AddToRates(state, books, -1);
}

void BookPayments(PrinterState& state, Cents total) {
    for (const Payment& payment : state.payments) {
        NamedTotal* form = state.FindNamed(state.paymentForms, payment.form);
        form->total += payment.amount;
        ++form->count;
    }
    const Cents change = state.Paid() - total;
    state.paymentForms.front().total -= change;
    state.dayChange += change;
}

void RefundPayments(PrinterState& state, Cents total) {
    for (const Payment& payment : state.payments)
        if (NamedTotal* form = state.FindNamed(state.paymentForms, payment.form)) form->total -= payment.amount;
    state.paymentForms.front().total += state.Paid() - total;
}

}  // namespace zentrada::virtual_printer
