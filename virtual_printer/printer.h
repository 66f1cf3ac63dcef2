// The virtual fiscal printer: the state machine that answers the calls the
// script does not. Each entry point with a behaviour of its own is a row of
// a family table (name, handler, the document state it needs, the document
// it leaves open); a call loads the printer's memory, checks the state its
// row needs, runs its handler and, when that succeeds, sets the document
// the row leaves, appends what it printed to the paper roll and saves the
// memory.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "virtual_printer/call.h"
#include "virtual_printer/printer_state.h"

namespace zentrada::virtual_printer {

// The arguments of one call, by their place in the driver's order.
class Call {
public:
    explicit Call(std::span<const Argument> arguments) : arguments_(arguments) {}
    std::string Text(std::size_t place) const;  // empty when not a text
    std::int32_t Int(std::size_t place) const;  // 0 when not an int
    // Fills the buffer at `place` (cut to its size, NUL-terminated).
    void Out(std::size_t place, std::string_view text) const;
    void OutNumber(std::size_t place, std::int32_t value) const;

private:
    std::span<const Argument> arguments_;
};

// What a handler works on: the memory, and the lines it prints.
struct Printer {
    PrinterState& state;
    std::vector<std::string> printed;

    static constexpr std::size_t kColumns = 48;
    void Print(std::string_view line);
    void PrintCentered(std::string_view line);
    void PrintColumns(std::string_view left, std::string_view right);
    void PrintRule(char c = '-');
    // The document's head: the user's cliche lines, date and time, COO and title.
    void PrintHeader(std::string_view title);
    void PrintFooter();

    static std::string Date();      // DD/MM/AAAA, local time
    static std::string DateTime();  // DD/MM/AAAA HH:MM:SS
};

using Handler = Status (*)(Printer& printer, const Call& call);

// The state a row's entry point needs, which RunPrinter checks before the
// handler runs: the documents it works in (a set of Document values) and,
// in a receipt or voucher, how far it may have gone. A call in the wrong
// state answers, without running: kNoDocument when none is open and one is
// needed, kDocumentOpen when one is open and none may be, kWrongDocument for
// another kind (or `refusal` when the row names one), kPaymentStarted past
// its stage.
enum class Stage { Any, BeforePayment, Selling };  // Selling: no payment nor subtotal adjustment yet
struct Needs {
    unsigned documents = 0;  // bit 1 << Document
    Stage stage = Stage::Any;
    Status refusal = kOk;  // answered instead of the usual status, when not kOk
};
constexpr unsigned In(Document document) { return 1u << static_cast<unsigned>(document); }
inline constexpr Needs kAnyState{In(Document::None) | In(Document::FiscalReceipt) | In(Document::NonFiscalVoucher) |
                                 In(Document::Ccd) | In(Document::ManagementReport)};
inline constexpr Needs kIdle{In(Document::None)};
inline constexpr Needs kInReceipt{In(Document::FiscalReceipt)};
inline constexpr Needs kSelling{In(Document::FiscalReceipt), Stage::Selling};
inline constexpr Needs kReceiptBeforePayment{In(Document::FiscalReceipt), Stage::BeforePayment};
inline constexpr Needs kInVoucher{In(Document::NonFiscalVoucher)};
inline constexpr Needs kVoucherSelling{In(Document::NonFiscalVoucher), Stage::BeforePayment};
inline constexpr Needs kInCcd{In(Document::Ccd)};
inline constexpr Needs kInReport{In(Document::ManagementReport)};
inline constexpr Needs kInCcdOrReport{In(Document::Ccd) | In(Document::ManagementReport)};

// What a row leaves open when it succeeds; RunPrinter sets it, so no
// handler closes a document itself.
enum class Leaves { Same, Nothing, Receipt, Voucher, Ccd, Report };

struct HandlerRow {
    std::string_view name;  // an entry point of driver/entry_points.h (checked when built)
    Handler handler;
    Needs needs = kAnyState;
    Leaves leaves = Leaves::Same;
};

// The entry points' names, in the list's order.
inline constexpr std::string_view kEntryPointNames[] = {
#define VP_ENTRY_NAME(name, ...) #name,
    ZENTRADA_DRIVER_ENTRY_POINTS(VP_ENTRY_NAME)
#undef VP_ENTRY_NAME
};
// True when every row names an entry point, none twice: each family table
// asserts it, so a misspelt name fails the build instead of silently
// leaving the entry point without its behaviour.
template <std::size_t N>
constexpr bool NamesEntryPoints(const HandlerRow (&rows)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
        bool known = false;
        for (const std::string_view name : kEntryPointNames) known = known || name == rows[i].name;
        if (!known) return false;
        for (std::size_t j = 0; j < i; ++j)
            if (rows[j].name == rows[i].name) return false;
    }
    return true;
}

// The family tables (fiscal.cpp, documents.cpp, queries.cpp, setup.cpp).
std::span<const HandlerRow> FiscalHandlers();
std::span<const HandlerRow> DocumentHandlers();
std::span<const HandlerRow> QueryHandlers();
std::span<const HandlerRow> SetupHandlers();
// The row of an entry point; nothing for one without a behaviour of its own.
const HandlerRow* FindRow(std::string_view name);
// The status a call of `row` answers in `state` without running, kOk when
// the state is right for it.
Status CheckNeeds(const PrinterState& state, const Needs& needs);

// Runs the call on the printer kept in the state file; an entry point
// without a row of its own succeeds and changes nothing, and a call that
// answers any status but kOk changes nothing either: neither the memory
// nor the paper roll.
std::int32_t RunPrinter(std::string_view name, std::span<const Argument> arguments);

// A counter as documents print it: 7 in 6 places is "000007".
std::string ZeroPadded(int value, int width);

// A payment of the open receipt or voucher: the receipt's and the
// voucher's rows share it.
Status Pay(Printer& printer, const Call& call);

// Starts a document (the row says which it leaves open): the fiscal day
// must be open or openable. Counts the COO and forgets the last document's
// items and payments.
Status OpenDocument(Printer& printer);

}  // namespace zentrada::virtual_printer
