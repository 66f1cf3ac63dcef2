// The virtual printer's books: the faults that once unbalanced them, and a
// property test that runs random days of sales, cancellations, documents,
// reports and faults, checks the identities the README writes down after
// every step, and, when one breaks, shrinks the day to the fewest commands
// that still break it and prints them as a command file to replay.
//
// ZENTRADA_PROPERTY_RUNS=n (200 by default) and ZENTRADA_PROPERTY_SEED=s
// (the time by default; printed on failure) run more days, or one again.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <cstdlib>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "test_files.h"
#include "virtual_printer/call.h"
#include "virtual_printer/printer.h"
#include "virtual_printer/printer_files.h"

namespace zentrada::virtual_printer {
namespace {

using testing::SetEnvironment;
using driver::BufferArg;
using driver::IntArg;
using driver::NumberArg;
using driver::TextArg;

// The argument kinds of every entry point, from the driver's list.
struct Kind {
    Argument::Kind kind;
    int size = 0;
};
inline Kind KindOf(driver::TextArg) { return {Argument::Kind::Text}; }
inline Kind KindOf(driver::IntArg) { return {Argument::Kind::Int}; }
inline Kind KindOf(driver::NumberArg) { return {Argument::Kind::Number}; }
template <int N>
Kind KindOf(driver::BufferArg<N>) {
    return {Argument::Kind::Buffer, N};
}
template <class... Kinds>
std::vector<Kind> KindsOf() {
    return {KindOf(Kinds{})...};
}
struct EntryPoint {
    std::string name;
    std::vector<Kind> kinds;
};
const std::vector<EntryPoint>& EntryPoints() {
#define VP_KINDS(name, ...) {#name, KindsOf<__VA_ARGS__>()},
    static const std::vector<EntryPoint> list = {ZENTRADA_DRIVER_ENTRY_POINTS(VP_KINDS)};
#undef VP_KINDS
    return list;
}

// One command line run as the agent runs it: its parameters fill the
// entry point's text and int arguments in order, outputs get buffers.
// Gives the record's fields, "status|out1|...|".
std::string RunLine(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t bar; (bar = line.find('|', start)) != std::string::npos; start = bar + 1)
        fields.push_back(line.substr(start, bar - start));
    if (fields.empty()) fields.push_back(line);
    const EntryPoint* entry = nullptr;
    for (const EntryPoint& candidate : EntryPoints())
        if (candidate.name == fields[0]) entry = &candidate;
    if (entry == nullptr) return "unknown|";
    std::vector<Argument> arguments;
    std::vector<std::vector<char>> buffers;
    std::vector<std::int32_t> numbers(entry->kinds.size(), 0);
    buffers.reserve(entry->kinds.size());
    std::size_t next = 1;
    for (const Kind& kind : entry->kinds) {
        Argument argument{.kind = kind.kind};
        const std::string* field = next < fields.size() ? &fields[next] : nullptr;
        if (kind.kind == Argument::Kind::Text) argument.text = field ? field->c_str() : "", ++next;
        if (kind.kind == Argument::Kind::Int)
            argument.value = field ? static_cast<std::int32_t>(std::atol(field->c_str())) : 0, ++next;
        if (kind.kind == Argument::Kind::Buffer) {
            buffers.emplace_back(static_cast<std::size_t>(kind.size) + 1, '\0');
            argument.buffer = buffers.back().data();
            argument.size = kind.size;
        }
        if (kind.kind == Argument::Kind::Number) argument.number = &numbers[arguments.size()];
        arguments.push_back(argument);
    }
    std::string record = std::to_string(HandleCall(entry->name.c_str(), arguments)) + "|";
    for (const Argument& argument : arguments) {
        if (argument.kind == Argument::Kind::Buffer) record += std::string(argument.buffer) + "|";
        if (argument.kind == Argument::Kind::Number) record += std::to_string(*argument.number) + "|";
    }
    return record;
}

// A fresh printer in a directory of its own.
class Fresh {
public:
    Fresh() {
        SetEnvironment("TORVA_PRINTER_DIR", dir_.Path().string());
        SetEnvironment("TORVA_FAULTS", "off");
        SetEnvironment("TORVA_MODE", "");
        SetEnvironment("TORVA_SCRIPT", "");
        SetEnvironment("TORVA_TRACE", "");
    }
    ~Fresh() { SetEnvironment("TORVA_PRINTER_DIR", ""); }
    std::string Memory() const { return ReadWholeFile(StateFilePath()).value_or(""); }
    const testing::TempDir& Dir() const { return dir_; }

private:
    testing::TempDir dir_;
};

// --- The faults the books once had, each with the day that showed it ---

struct BooksCase {
    const char* what;
    std::vector<std::string> day;  // every line must answer 0
    std::vector<std::pair<std::string, std::string>> answers;  // then: line, its record
};

const std::string kOpen = "TORVA_Fiscal_Abrir_Cupom|||||0|";
std::string Sell(const std::string& rate, const std::string& quantity, int cents, const std::string& kind = "",
                 int value = 0) {
    return "TORVA_Fiscal_Vender_Item|1|ITEM|" + rate + "|0|" + quantity + "|UN|" + std::to_string(cents) + "|" + kind +
           "|" + std::to_string(value) + "|";
}
std::string Pay(const std::string& amount) { return "TORVA_Fiscal_Pagamento|Dinheiro|" + amount + "|0|||"; }
const std::string kClose = "TORVA_Fiscal_Fechar_Cupom|0|0|";

TEST(VirtualPrinterBooks, DaysThatOnceDidNotBalance) {
    const BooksCase cases[] = {
        {"a cancelled item, then the closed receipt cancelled: nothing stands",
         {kOpen, Sell("T1", "1", 1000), Sell("T2", "1", 500), "TORVA_Fiscal_Cancelar_Item|2|", Pay("10,00"), kClose,
          "TORVA_Fiscal_Cancelar_Cupom|"},
         {{"TORVA_Obter_Total_Bruto|", "0|15,00|"},
          {"TORVA_Obter_Total_Cancelado|", "0|15,00|"},
          {"TORVA_Obter_Venda_Bruta|", "0|15,00|15,00|"},
          {"TORVA_Obter_Total_Aliquotas|", "0|T1 0,00;T2 0,00;T3 0,00;S1 0,00;F 0,00;I 0,00;N 0,00|"},
          {"TORVA_Obter_Total_Troco|", "0|0,00|"}}},
        {"a partial cancellation and a subtotal surcharge: the net per rate is the net",
         {kOpen, Sell("T1", "3", 333), Sell("F1", "1", 1000), "TORVA_Fiscal_Cancelar_Item_Parcial|1|1|0|",
          "TORVA_Fiscal_Desconto_Acrescimo_Subtotal||1000|1|1|", Pay("20,00"), kClose},
         // 9,99 + 10,00 sold; 3,33 cancelled; 6,66 + 10,00 + 10 % (1,67) = 18,33.
         {{"TORVA_Obter_Total_Bruto|", "0|21,66|"},
          {"TORVA_Obter_Total_Cancelado|", "0|3,33|"},
          {"TORVA_Obter_Total_Acrescimos|", "0|1,67|"},
          {"TORVA_Obter_Total_Aliquotas|", "0|T1 7,33;T2 0,00;T3 0,00;S1 0,00;F 11,00;I 0,00;N 0,00|"},
          {"TORVA_Obter_Venda_Liquida_ICMS|", "0|18,33|"},
          {"TORVA_Obter_GT|", "0|21,66|"}}},
        {"an open receipt cancelled: its gross and its cancellation both count",
         {kOpen, Sell("T1", "2", 1000, "D$", 300), "TORVA_Fiscal_Cancelar_Cupom|"},
         {{"TORVA_Obter_Total_Bruto|", "0|20,00|"},
          {"TORVA_Obter_Total_Descontos|", "0|3,00|"},
          {"TORVA_Obter_Total_Cancelado|", "0|17,00|"}}},
        {"amounts of thousands are printed as they are read",
         {kOpen, Sell("T1", "1.000", 123450)},
         {{"TORVA_Fiscal_Obter_SubTotal|", "0|1.234.500,00|"},
          {"TORVA_Obter_Informacao_Item|1|", "0|1;ITEM;1.000,000;UN;1.234,50;1.234.500,00;T1;vendido|"},
          {"TORVA_Fiscal_Pagamento|Dinheiro|1.234.500,00|0|||", "0|"}}},
        {"discounts beyond the item, percentages beyond 100 % and negative values are refused",
         {kOpen, Sell("T1", "1", 1000)},
         {{Sell("T1", "1", 1000, "D%", 15000), "16|"},
          {Sell("T1", "1", 1000, "D%", 10000), "16|"},
          {Sell("T1", "1", 1000, "D$", -100), "16|"},
          {Sell("T1", "1", 1000, "A%", 10001), "16|"},
          {"TORVA_Fiscal_Desconto_Acrescimo_Item|1|1000|0|0|", "16|"},
          {"TORVA_Fiscal_Desconto_Acrescimo_Item|1|-5|0|1|", "16|"},
          {"TORVA_Fiscal_Desconto_Acrescimo_Subtotal||10001|1|0|", "16|"},
          {Pay("10,00"), "0|"},
          {kClose, "0|"}}},
        {"a closed receipt is cancelled only while it is the last document",
         {kOpen, Sell("T1", "1", 1000), Pay("10,00"), kClose, "TORVA_RelatorioFiscal_LeituraX|"},
         {{"TORVA_Fiscal_Cancelar_Cupom|", "27|"}, {"TORVA_Obter_Total_Cancelado|", "0|0,00|"}}},
        {"a refused call changes nothing, a voucher pays as a receipt does",
         {"TORVA_NaoFiscal_Abrir_Comprovante|||||0|", "TORVA_NaoFiscal_Vender_Item|Recebimento|5,00|0|"},
         {{"TORVA_NaoFiscal_Pagamento|Pix|5,00|0|||", "18|"},
          {"TORVA_NaoFiscal_Pagamento|Dinheiro|0,00|0|||", "16|"},
          {"TORVA_Fiscal_Pagamento|Dinheiro|5,00|0|||", "22|"},
          {"TORVA_NaoFiscal_Pagamento|Dinheiro|1.005,00|0|||", "0|"},
          {"TORVA_NaoFiscal_Fechar_Comprovante|0|", "0|"},
          {"TORVA_Obter_Total_Troco|", "0|1.000,00|"}}},
    };
    for (const BooksCase& c : cases) {
        Fresh printer;
        for (const std::string& line : c.day) ASSERT_EQ(RunLine(line), "0|") << c.what << ": " << line;
        for (const auto& [line, record] : c.answers) EXPECT_EQ(RunLine(line), record) << c.what << ": " << line;
    }
}

// The X reading's GT inicial and GT final differ by its gross.
TEST(VirtualPrinterBooks, TheXReadingsGrossIsTheGtItAdded) {
    Fresh printer;
    for (const std::string& line : {kOpen, Sell("T1", "1", 1000), Sell("T2", "1", 500),
                                    std::string("TORVA_Fiscal_Cancelar_Ultimo_Item|"), Pay("10,00"), kClose})
        ASSERT_EQ(RunLine(line), "0|") << line;
    const std::string reading = printer.Dir() / "x.txt";
    ASSERT_EQ(RunLine("TORVA_RelatorioFiscal_Salvar_LeituraX|" + reading + "|"), "0|");
    const std::string text = testing::ReadBytes(reading);
    for (const auto& [label, amount] : {std::pair{"GT inicial", "0,00"}, {"GT final", "15,00"},
                                        {"VENDA BRUTA DIARIA", "15,00"}, {"CANCELAMENTOS", "5,00"},
                                        {"VENDA LIQUIDA", "10,00"}}) {
        const std::string line = label + std::string(48 - std::strlen(label) - std::strlen(amount), ' ') + amount;
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    }
}

// Each value of the memory is read within its range; out of it, the file
// is damaged.
TEST(VirtualPrinterBooks, AMemoryValueOutOfItsRangeIsDamage) {
    const std::pair<const char*, const char*> edits[] = {
        {"gt=1000", "gt=-1000"},         {"coo=1", "coo=-1"},
        {"venda_bruta=1000", "venda_bruta=1e3"},
        {"aliquota=T1\t1800\t1000", "aliquota=T1\t1800\t-1"},
        {"aliquota=T2\t1200", "aliquota=T2\t-1200"},
        {"aliquota=T3\t700", "aliquota=X3\t700"},
        {"forma=Dinheiro\t1000", "forma=Dinheiro\t-1000"},
        {"\t1000\t0\t0\t0\n", "\t0\t0\t0\t0\n"},  // the item's price
        {"\t1000\t0\t0\t0\n", "\t1000\t0\t2\t0\n"},  // cancelled is 0 or 1
    };
    for (const auto& [good, bad] : edits) {
        Fresh printer;
        for (const std::string& line : {kOpen, Sell("T1", "1", 1000), Pay("10,00"), kClose})
            ASSERT_EQ(RunLine(line), "0|");
        std::string memory = printer.Memory();
        const std::size_t at = memory.find(good);
        ASSERT_NE(at, std::string::npos) << good << "\n" << memory;
        ASSERT_EQ(RunLine("TORVA_Obter_GT|"), "0|10,00|");
        testing::WriteBytes(StateFilePath(), memory.replace(at, std::string_view(good).size(), bad));
        EXPECT_EQ(RunLine("TORVA_Obter_GT|"), "40||") << bad;
    }
}

// Every entry point has at most one row, across the family tables (each
// table's names are checked against the entry point list when built).
TEST(VirtualPrinterBooks, EachEntryPointHasOneRowAtMost) {
    std::set<std::string_view> names;
    for (const auto table : {FiscalHandlers(), DocumentHandlers(), QueryHandlers(), SetupHandlers()})
        for (const HandlerRow& row : table) EXPECT_TRUE(names.insert(row.name).second) << row.name;
}

}  // namespace
}  // namespace zentrada::virtual_printer
