// What the virtual printer remembers, as a real one keeps it in its memory:
// the fiscal day, the open document, the tables the configuration commands
// program, the counters and the totals. Saved to a text file after every
// change, so it survives the agent and the process.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "virtual_printer/money.h"
#include "virtual_printer/status.h"

namespace zentrada::virtual_printer {

enum class Document { None, FiscalReceipt, NonFiscalVoucher, Ccd, ManagementReport };

struct Item {
    std::string code, description, taxCode, unit;
    Milli quantity = 0;  // what still stands, after partial cancellations
    Cents unitPrice = 0;
    Cents adjustment = 0;  // item discount (negative) or surcharge (positive)
    bool cancelled = false;
    Milli cancelledQuantity = 0;  // taken off by partial cancellations
    Cents Gross() const { return Times(unitPrice, quantity); }
    // As sold, before any partial cancellation.
    Cents SoldGross() const { return Times(unitPrice, quantity + cancelledQuantity); }
    Cents Net() const { return cancelled ? 0 : Gross() + adjustment; }
};

struct Payment {
    std::string form;
    Cents amount = 0;
};

struct TaxRate {
    std::string code;      // "T1", "T2"... (ICMS) or "S1"... (ISS)
    std::int64_t rate = 0;  // hundredths of a percent: 1800 is 18,00 %
    Cents total = 0;       // of the fiscal day
};

struct NamedTotal {
    std::string name;
    Cents total = 0;  // of the fiscal day
    std::int32_t count = 0;
};

struct PrinterState {
    static constexpr int kVersion = 1;

    bool dayOpen = false;
    std::string dayDate;            // DD/MM/AAAA of the open day
    std::string lastReductionDate;  // DD/MM/AAAA of the last Z reduction
    Document document = Document::None;

    // The open fiscal receipt or non-fiscal voucher.
    std::vector<Item> items;
    Cents subtotalAdjustment = 0;
    bool subtotalAdjusted = false;
    std::vector<Payment> payments;
    std::string consumerId, consumerName, consumerAddress;
    std::string reportName;  // the open management report

    // Counters.
    std::int32_t coo = 0;  // every document
    std::int32_t ccf = 0;  // fiscal receipts
    std::int32_t gnf = 0;  // non-fiscal documents
    std::int32_t crz = 0;  // Z reductions
    std::int32_t cro = 1;  // operation restarts
    std::int32_t readingsX = 0;
    std::int32_t cancelledReceipts = 0;
    std::int32_t linesPrinted = 0;
    std::int32_t dayItems = 0;  // items sold in the fiscal day

    // Totals of the fiscal day, and the grand total that never goes back.
    Cents grandTotal = 0;
    Cents dayStartGrandTotal = 0;  // the GT when the day's totals were last cleared
    Cents dayGross = 0, dayCancelled = 0, dayDiscounts = 0, daySurcharges = 0, dayChange = 0;
    Cents daySubstituted = 0, dayExempt = 0, dayNotLevied = 0;  // the day's net on F, I and N
    Cents lastReceiptTotal = 0;
    std::int32_t lastReceiptCoo = 0;  // the closed receipt that may still be cancelled

    // Tables.
    std::vector<TaxRate> taxRates;
    std::vector<NamedTotal> paymentForms;
    std::vector<NamedTotal> nonFiscalTotalizers;
    std::vector<NamedTotal> reports;
    std::string operatorName = "OPERADOR";
    std::vector<std::string> cliche;  // the user's header lines
    std::vector<std::string> settings;  // other programmed options, "name=value"

    // A fresh printer: a few tax rates and payment forms programmed.
    static PrinterState Factory();

    Cents ItemsTotal() const;
    Cents Subtotal() const { return ItemsTotal() + subtotalAdjustment; }
    Cents Paid() const;
    const TaxRate* FindTaxRate(const std::string& code) const;
    // The day's net total of a tax code (T1.., S1.., F, I, N, and F1, I1,
    // N1 for the last three); nothing for a code not programmed.
    Cents* RateTotal(const std::string& code);
    NamedTotal* FindNamed(std::vector<NamedTotal>& table, const std::string& name);
};

// The state as its file holds it, and back. Loading gives the status of a
// file that is damaged or of another version.
std::string SaveState(const PrinterState& state);
struct LoadedState {
    PrinterState state;
    Status status = kOk;
};
LoadedState LoadState(const std::optional<std::string>& fileBytes);

}  // namespace zentrada::virtual_printer
