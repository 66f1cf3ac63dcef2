// The virtual fiscal printer: the state machine that answers the calls the
// script does not. Each entry point with a behaviour of its own is a row of
// a family table (name, handler); a call loads the printer's memory, runs
// its row, appends what it printed to the paper roll and saves the memory.
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
struct HandlerRow {
    std::string_view name;
    Handler handler;
};

// The family tables (fiscal.cpp, documents.cpp, queries.cpp, setup.cpp).
std::span<const HandlerRow> FiscalHandlers();
std::span<const HandlerRow> DocumentHandlers();
std::span<const HandlerRow> QueryHandlers();
std::span<const HandlerRow> SetupHandlers();

// Runs the call on the printer kept in the state file; an entry point
// without a row of its own succeeds and changes nothing.
std::int32_t RunPrinter(std::string_view name, std::span<const Argument> arguments);

// A counter as documents print it: 7 in 6 places is "000007".
std::string ZeroPadded(int value, int width);

// Opens a document: the fiscal day must be open or openable, nothing else
// open. Counts the COO.
Status OpenDocument(Printer& printer, Document document);
// For the calls that need an open document of this kind.
Status Need(const PrinterState& state, Document document);

}  // namespace zentrada::virtual_printer
