// The books a fiscal receipt moves, by the rules the README's section on
// the virtual printer writes down as identities. A receipt's amounts reach
// the day's totals in one step, when it is closed or cancelled open, and
// leave them (as a cancellation) when the closed receipt is cancelled.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "virtual_printer/printer_state.h"

namespace zentrada::virtual_printer {

struct ReceiptBooks {
    Cents gross = 0;       // every item as sold, and every surcharge
    Cents cancelled = 0;   // items and parts of items cancelled
    Cents discounts = 0;   // item and subtotal discounts on what stands
    Cents surcharges = 0;  // item and subtotal surcharges on what stands
    Cents net = 0;         // gross - cancelled - discounts: the receipt's total
    // The net per tax code (T1.., S1.., F, I, N), the subtotal adjustment
    // shared out over them (Spread); in the order of the items.
    std::vector<std::pair<std::string, Cents>> rates;
};

// The open (or last closed) receipt's books, from its items and its
// subtotal adjustment.
ReceiptBooks BooksOf(const PrinterState& state);

// The receipt is closed: all of it counts, and the GT grows by its gross.
void BookClosed(PrinterState& state, const ReceiptBooks& books);
// The open receipt is cancelled: its gross counts (and the GT grows by it),
// and all that stood of it is cancelled.
void BookCancelledOpen(PrinterState& state, const ReceiptBooks& books);
// The receipt closed last is cancelled: its total is cancelled and leaves
// the tax codes' totals.
void BookCancelledClosed(PrinterState& state, const ReceiptBooks& books);

// A receipt's or voucher's payments reach the payment forms; the change,
// paid minus `total`, is given from the first form (cash).
void BookPayments(PrinterState& state, Cents total);
// ... and return to the customer when the receipt is cancelled.
void RefundPayments(PrinterState& state, Cents total);

}  // namespace zentrada::virtual_printer
