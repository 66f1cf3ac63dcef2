// The virtual printer's books: the faults that once unbalanced them, and a
// property test that runs random days of sales, cancellations, documents,
// reports and faults, checks the identities the README writes down after
// every step, and, when one breaks, shrinks the day to the fewest commands
// that still break it and prints them as a command file to replay.
//
// ZENTRADA_PROPERTY_RUNS=n (200 by default, 20 on Windows) and
// ZENTRADA_PROPERTY_SEED=s (fixed by default, so a build's result does not
// depend on the day it ran; printed on failure) run more days, or others, or
// the same days again.
#include <gtest/gtest.h>

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
    std::size_t inputs = 0;
    for (const Kind& kind : entry->kinds)
        inputs += kind.kind == Argument::Kind::Text || kind.kind == Argument::Kind::Int ? 1 : 0;
    if (inputs != fields.size() - 1) return "count|";  // the agent would not send it
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

// The first out field of a record.
std::string Out(const std::string& record) {
    const std::size_t bar = record.find('|');
    return record.substr(bar + 1, record.find('|', bar + 1) - bar - 1);
}

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

// --- The property test ---

// One step of a random day: a command line, run with TORVA_STATUS making
// it answer `fault` instead when that is not 0.
struct Step {
    std::string line;
    int fault = 0;
};

std::string NameOf(const std::string& line) { return line.substr(0, line.find('|')); }

// The day's identities and the rules between two states; the failure, or
// nothing when they hold.
std::optional<std::string> Broken(const PrinterState& s) {
    const Cents net = s.dayGross - s.dayCancelled - s.dayDiscounts;
    Cents rates = s.daySubstituted + s.dayExempt + s.dayNotLevied;
    for (const TaxRate& rate : s.taxRates) rates += rate.total;
    for (const Cents value : {s.dayGross, s.dayCancelled, s.dayDiscounts, s.daySurcharges, s.dayChange, net,
                              s.daySubstituted, s.dayExempt, s.dayNotLevied})
        if (value < 0) return "a day's total below zero";
    for (const TaxRate& rate : s.taxRates)
        if (rate.total < 0) return "the net of " + rate.code + " below zero";
    if (rates != net) return "net " + FormatMoney(net) + " but the tax codes add up to " + FormatMoney(rates);
    if (s.grandTotal - s.dayStartGrandTotal != s.dayGross)
        return "GT - GT inicial " + FormatMoney(s.grandTotal - s.dayStartGrandTotal) + " but gross " +
               FormatMoney(s.dayGross);
    if (s.daySurcharges > s.dayGross) return "surcharges beyond the gross";
    return std::nullopt;
}

// How far a call that succeeds moves COO, CCF, GNF and CRZ; the calls not
// named move none (the cancellation of a receipt, open or closed, is not
// checked here).
struct Counts {
    const char* name;
    int coo, ccf, gnf, crz;
};
constexpr Counts kCounts[] = {
    {"TORVA_Fiscal_Abrir_Cupom", 1, 0, 0, 0},           {"TORVA_Fiscal_Fechar_Cupom", 0, 1, 0, 0},
    {"TORVA_Fiscal_Fechar_CupomEX", 0, 1, 0, 0},        {"TORVA_NaoFiscal_Abrir_Comprovante", 1, 0, 1, 0},
    {"TORVA_NaoFiscal_Abrir_CCD", 1, 0, 1, 0},          {"TORVA_NaoFiscal_Abrir_Relatorio_Gerencial", 1, 0, 1, 0},
    {"TORVA_NaoFiscal_Sangria", 1, 0, 1, 0},            {"TORVA_NaoFiscal_Fundo_Troco", 1, 0, 1, 0},
    {"TORVA_RelatorioFiscal_LeituraX", 1, 0, 0, 0},     {"TORVA_RelatorioFiscal_RZ", 1, 0, 0, 1},
    {"TORVA_RelatorioFiscal_Leitura_MF", 1, 0, 0, 0},
};

std::optional<std::string> Counted(const std::string& name, const PrinterState& before, const PrinterState& after) {
    if (name == "TORVA_Fiscal_Cancelar_Cupom") return std::nullopt;
    Counts expected{name.c_str(), 0, 0, 0, 0};
    for (const Counts& counts : kCounts)
        if (name == counts.name) expected = counts;
    if (after.coo - before.coo != expected.coo || after.ccf - before.ccf != expected.ccf ||
        after.gnf - before.gnf != expected.gnf || after.crz - before.crz != expected.crz)
        return "the counters did not step as they should";
    return std::nullopt;
}

std::optional<std::string> Moved(const PrinterState& before, const PrinterState& after) {
    if (after.grandTotal < before.grandTotal) return "the GT went back";
    const std::pair<const char*, int> counters[] = {{"COO", after.coo - before.coo}, {"CCF", after.ccf - before.ccf},
                                                    {"GNF", after.gnf - before.gnf}, {"CRZ", after.crz - before.crz},
                                                    {"CRO", after.cro - before.cro},
                                                    {"leituras X", after.readingsX - before.readingsX}};
    for (const auto& [name, step] : counters)
        if (step != 0 && step != 1) return std::string(name) + " moved by " + std::to_string(step);
    return std::nullopt;
}

// The queries agree with the memory.
std::optional<std::string> Answered(const PrinterState& s) {
    const Cents net = s.dayGross - s.dayCancelled - s.dayDiscounts;
    if (RunLine("TORVA_Obter_Venda_Bruta|") != "0|" + FormatMoney(s.dayGross) + "|" + FormatMoney(s.grandTotal) + "|")
        return "Obter_Venda_Bruta is not the gross and the GT";
    const auto icms = ParseMoney(Out(RunLine("TORVA_Obter_Venda_Liquida_ICMS|")));
    const auto iss = ParseMoney(Out(RunLine("TORVA_Obter_Venda_Liquida_ISSQN|")));
    if (!icms || !iss || *icms + *iss != net) return "ICMS and ISSQN net sales do not add up to the net";
    Cents rates = 0;
    const std::string list = Out(RunLine("TORVA_Obter_Total_Aliquotas|")) + ";";
    for (std::size_t start = 0, end; (end = list.find(';', start)) != std::string::npos; start = end + 1)
        rates += ParseMoney(list.substr(list.find(' ', start) + 1, end - list.find(' ', start) - 1)).value_or(-1);
    if (rates != net) return "Obter_Total_Aliquotas does not add up to the net";
    return std::nullopt;
}

std::uintmax_t RollSize() {
    std::error_code none;
    const std::uintmax_t size = testing::fs::file_size(RollFilePath(), none);
    return none ? 0 : size;
}

// Runs the steps on a fresh printer, checking after each; the first
// failure, with its step's number.
std::optional<std::string> Replay(const std::vector<Step>& steps,
                                  const std::function<std::optional<Step>(const PrinterState&)>& next = {}) {
    Fresh printer;
    std::string memory = SaveState(PrinterState::Factory());
    PrinterState before = PrinterState::Factory();
    for (std::size_t i = 0;; ++i) {
        std::optional<Step> step;
        if (next) step = next(before);
        else if (i < steps.size()) step = steps[i];
        if (!step) return std::nullopt;
        const std::string where = "step " + std::to_string(i + 1) + " (" + step->line + "): ";
        const std::uintmax_t rollBefore = RollSize();
        if (step->fault) SetEnvironment("TORVA_STATUS", NameOf(step->line) + ":" + std::to_string(step->fault));
        const std::string record = RunLine(step->line);
        if (step->fault) SetEnvironment("TORVA_STATUS", "");
        const int status = std::atoi(record.c_str());
        std::string now = printer.Memory();
        if (now.empty()) now = memory;  // nothing written yet
        const LoadedState after = LoadState(now);
        const std::uintmax_t rollAfter = RollSize();
        std::optional<std::string> failure;
        if (record == "count|" || record == "unknown|") failure = "not a command the agent sends";
        else if (step->fault && status != step->fault) failure = "the fault was not answered";
        else if (after.status != kOk) failure = "the memory reads as damaged";
        else if (SaveState(after.state) != now) failure = "the memory does not read back as it was written";
        else if (status != 0 && (now != memory || rollAfter != rollBefore))
            failure = "refused with " + record + " but changed";
        else if ((failure = Broken(after.state)) || (failure = Moved(before, after.state))) {
        } else if (const HandlerRow* row = FindRow(NameOf(step->line)); status == 0 && row != nullptr) {
            failure = Counted(NameOf(step->line), before, after.state);
            if (CheckNeeds(before, row->needs) != kOk) failure = "ran in a state its row does not allow";
            const Document left[] = {before.document, Document::None, Document::FiscalReceipt,
                                     Document::NonFiscalVoucher, Document::Ccd, Document::ManagementReport};
            if (after.state.document != left[static_cast<int>(row->leaves)]) failure = "left another document open";
        }
        if (!failure && i % 16 == 15) failure = Answered(after.state);
        if (failure) return where + *failure;
        memory = now;
        before = after.state;
    }
}

// The few values each parameter is drawn from, the odd ones included.
template <class T, std::size_t N>
const T& Pick(std::mt19937_64& random, const T (&values)[N]) {
    return values[std::uniform_int_distribution<std::size_t>(0, N - 1)(random)];
}
std::string Number(std::mt19937_64& random, std::initializer_list<int> values) {
    return std::to_string(*(values.begin() + std::uniform_int_distribution<std::size_t>(0, values.size() - 1)(random)));
}

// A step that fits the printer's state most of the time, and anything now
// and then.
Step NextStep(std::mt19937_64& random, const PrinterState& s) {
    const char* const rates[] = {"T1", "T2", "T3", "S1", "F", "I", "N", "F1", "T9"};
    const char* const quantities[] = {"1", "2", "1,500", "0,333", "1.000", "3"};
    const char* const kinds[] = {"", "", "D$", "D%", "A$", "A%", "X"};
    const char* const forms[] = {"Dinheiro", "Dinheiro", "Cartao", "Cheque", "Pix"};
    const char* const items[] = {"", "1", "2", "3", "9"};
    const Cents due = std::max<Cents>(s.Subtotal() - s.Paid(), 0);
    const std::string amounts[] = {FormatMoney(due), FormatMoney(due + 1000), FormatMoney(due / 2 + 1), "5,00",
                                   "0,00", "1.234,56"};
    auto pay = [&](const char* family) {
        return std::string("TORVA_") + family + "_Pagamento|" + Pick(random, forms) + "|" + Pick(random, amounts) +
               "|0|||";
    };
    const std::vector<std::string> receipt = {
        "TORVA_Fiscal_Vender_Item|7891|ITEM|" + std::string(Pick(random, rates)) + "|0|" + Pick(random, quantities) +
            "|UN|" + Number(random, {1, 99, 1000, 1490, 123450}) + "|" + Pick(random, kinds) + "|" +
            Number(random, {0, 50, 1000, 10000, 15000, -100}) + "|",
        "TORVA_Fiscal_Vender_Item|7892|OUTRO|T1|0|2|UN|350|||",
        "TORVA_Fiscal_Desconto_Acrescimo_Item|" + std::string(Pick(random, items)) + "|" +
            Number(random, {10, 500, 10000, 10001, -5}) + "|" + Number(random, {0, 1}) + "|" +
            Number(random, {0, 1}) + "|",
        "TORVA_Fiscal_Desconto_Acrescimo_Subtotal|x|" + Number(random, {7, 300, 9999, 10000, 20000}) + "|" +
            Number(random, {0, 1}) + "|" + Number(random, {0, 1}) + "|",
        "TORVA_Fiscal_Cancelar_Item|" + std::string(Pick(random, items)) + "|",
        "TORVA_Fiscal_Cancelar_Ultimo_Item|",
        "TORVA_Fiscal_Cancelar_Item_Parcial|" + std::string(Pick(random, items)) + "|" + Pick(random, quantities) +
            "|0|",
        "TORVA_Fiscal_Cancelar_Desconto_Acrescimo_ItemEX|" + std::string(Pick(random, items)) + "|" +
            Number(random, {0, 1}) + "|",
        "TORVA_Fiscal_Cancelar_Acrescimo_Desconto_Subtotal|" + Number(random, {0, 1}) + "|",
        pay("Fiscal"), pay("Fiscal"), "TORVA_Fiscal_Fechar_Cupom|0|0|", "TORVA_Fiscal_Fechar_CupomEX|",
        "TORVA_Fiscal_Cancelar_Cupom|", "TORVA_Fiscal_Obter_SubTotal|"};
    const std::vector<std::string> voucher = {
        "TORVA_NaoFiscal_Vender_Item|" + std::string(Pick(random, {"Recebimento", "Sangria", "Nada"})) + "|" +
            Pick(random, amounts) + "|0|",
        pay("NaoFiscal"), "TORVA_NaoFiscal_Fechar_Comprovante|0|", "TORVA_NaoFiscal_Cancelar_Comprovante|"};
    const std::vector<std::string> printed = {"TORVA_NaoFiscal_Imprimir_Linha|linha|", "TORVA_NaoFiscal_Fechar_CCD|0|",
                                              "TORVA_NaoFiscal_Cancelar_CCD||||||",
                                              "TORVA_NaoFiscal_Fechar_Relatorio_Gerencial|0|"};
    const std::vector<std::string> idle = {
        "TORVA_Fiscal_Abrir_Cupom|||||0|", "TORVA_Fiscal_Abrir_Cupom|||||0|", "TORVA_Fiscal_Abrir_Cupom|||||0|",
        "TORVA_NaoFiscal_Abrir_Comprovante|||||0|",
        "TORVA_NaoFiscal_Abrir_CCD|" + std::string(Pick(random, forms)) + "|10,00|1||",
        "TORVA_NaoFiscal_Abrir_Relatorio_Gerencial|Geral|", "TORVA_NaoFiscal_Sangria|" + Pick(random, amounts) + "|0|",
        "TORVA_NaoFiscal_Fundo_Troco|50,00|0|", "TORVA_RelatorioFiscal_LeituraX|", "TORVA_RelatorioFiscal_RZ|||0|",
        "TORVA_RelatorioFiscal_Abrir_Dia|", "TORVA_RelatorioFiscal_Leitura_MF|1|9|0||0|",
        "TORVA_Fiscal_Cancelar_Cupom|", "TORVA_Obter_Estado_Cupom|"};
    const std::vector<std::string>* group = &idle;
    if (s.document == Document::FiscalReceipt) group = &receipt;
    if (s.document == Document::NonFiscalVoucher) group = &voucher;
    if (s.document == Document::Ccd || s.document == Document::ManagementReport) group = &printed;
    const std::vector<std::string>* groups[] = {&receipt, &voucher, &printed, &idle};
    if (std::uniform_int_distribution<int>(0, 9)(random) == 0) group = Pick(random, groups);
    Step step{(*group)[std::uniform_int_distribution<std::size_t>(0, group->size() - 1)(random)]};
    if (std::uniform_int_distribution<int>(0, 24)(random) == 0) step.fault = Pick(random, {30, 31});
    return step;
}

// The fewest steps (by removing runs of them, then single ones) that still
// break a rule.
std::vector<Step> Shrink(std::vector<Step> steps) {
    for (std::size_t run = steps.size() / 2; run >= 1; run /= 2) {
        for (std::size_t at = 0; at + run <= steps.size();) {
            std::vector<Step> fewer = steps;
            const auto first = fewer.begin() + static_cast<std::ptrdiff_t>(at);
            fewer.erase(first, first + static_cast<std::ptrdiff_t>(run));
            if (Replay(fewer)) steps = std::move(fewer);
            else at += run;
        }
    }
    return steps;
}

// The steps as a command file for zentrada.
std::string CommandFile(const std::vector<Step>& steps, const std::string& failure) {
    std::string text = "/NOSTOP\r\n; " + failure + "\r\n";
    for (const Step& step : steps) {
        if (step.fault)
            text += "; TORVA_STATUS=" + NameOf(step.line) + ":" + std::to_string(step.fault) + " for the next line\r\n";
        text += step.line + "\r\n";
    }
    return text + ".\r\n";
}

std::uint64_t FromEnvironment(const char* name, std::uint64_t otherwise) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::strtoull(value, nullptr, 10) : otherwise;
}

TEST(VirtualPrinterBooks, RandomDaysKeepEveryIdentityAfterEveryStep) {
    const std::uint64_t days = FromEnvironment("ZENTRADA_PROPERTY_RUNS", PROPERTY_DAYS);
    const std::uint64_t seed = FromEnvironment("ZENTRADA_PROPERTY_SEED", 20261208);
    for (std::uint64_t day = 0; day < days; ++day) {
        std::mt19937_64 random(seed + day);
        std::vector<Step> steps;
        const std::size_t length = 100;
        const auto failure = Replay({}, [&](const PrinterState& state) -> std::optional<Step> {
            if (steps.size() == length) return std::nullopt;
            steps.push_back(NextStep(random, state));
            return steps.back();
        });
        if (!failure) continue;
        const std::vector<Step> fewest = Shrink(steps);
        const std::string text = CommandFile(fewest, Replay(fewest).value_or(*failure));
        testing::WriteBytes("virtual_printer_failure.FPI", text);
        FAIL() << "ZENTRADA_PROPERTY_SEED=" << seed + day << " ZENTRADA_PROPERTY_RUNS=1: " << *failure
               << "\nshrunk to " << fewest.size() << " of " << steps.size()
               << " steps, in virtual_printer_failure.FPI:\n" << text;
    }
}

}  // namespace
}  // namespace zentrada::virtual_printer
