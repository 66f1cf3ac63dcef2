#include "virtual_printer/printer_state.h"

#include <charconv>
#include <cstdint>
#include <variant>

namespace zentrada::virtual_printer {
namespace {

constexpr char kHeader[] = "ZENTRADA IMPRESSORA VIRTUAL";
constexpr char kEnd[] = "fim";

// The scalar fields, by the name they have in the file.
using Field = std::variant<bool PrinterState::*, std::int32_t PrinterState::*, Cents PrinterState::*,
                           std::string PrinterState::*>;
struct NamedField {
    const char* name;
    Field field;
    bool signedNumber = false;  // else a number below 0 marks the file damaged
};
const NamedField kFields[] = {
    {"dia_aberto", &PrinterState::dayOpen},
    {"data_do_dia", &PrinterState::dayDate},
    {"data_ultima_reducao", &PrinterState::lastReductionDate},
    {"linhas_impressas", &PrinterState::linesPrinted},
    {"itens_do_dia", &PrinterState::dayItems},
    {"subtotal_ajuste", &PrinterState::subtotalAdjustment, true},
    {"subtotal_ajustado", &PrinterState::subtotalAdjusted},
    {"consumidor_id", &PrinterState::consumerId},
    {"consumidor_nome", &PrinterState::consumerName},
    {"consumidor_endereco", &PrinterState::consumerAddress},
    {"relatorio", &PrinterState::reportName},
    {"coo", &PrinterState::coo},
    {"ccf", &PrinterState::ccf},
    {"gnf", &PrinterState::gnf},
    {"crz", &PrinterState::crz},
    {"cro", &PrinterState::cro},
    {"leituras_x", &PrinterState::readingsX},
    {"cupons_cancelados", &PrinterState::cancelledReceipts},
    {"gt", &PrinterState::grandTotal},
    {"gt_inicial", &PrinterState::dayStartGrandTotal},
    {"venda_bruta", &PrinterState::dayGross},
    {"cancelamentos", &PrinterState::dayCancelled},
    {"descontos", &PrinterState::dayDiscounts},
    {"acrescimos", &PrinterState::daySurcharges},
    {"troco", &PrinterState::dayChange},
    {"total_f", &PrinterState::daySubstituted},
    {"total_i", &PrinterState::dayExempt},
    {"total_n", &PrinterState::dayNotLevied},
    {"ultimo_cupom", &PrinterState::lastReceiptTotal},
    {"coo_ultimo_cupom", &PrinterState::lastReceiptCoo},
    {"operador", &PrinterState::operatorName},
};

// Texts are stored on one line each; a tab separates the fields of a row.
std::string Clean(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return text;
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t tab; (tab = text.find('\t', start)) != std::string::npos; start = tab + 1)
        parts.push_back(text.substr(start, tab - start));
    parts.push_back(text.substr(start));
    return parts;
}

template <class T>
bool ToNumber(const std::string& text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

// A number of the file, read only when it lies in [least, most].
template <class T>
bool ToNumber(const std::string& text, T& value, std::int64_t least, std::int64_t most = INT64_MAX) {
    return ToNumber(text, value) && value >= least && value <= most;
}

std::string Join(std::initializer_list<std::string> parts) {
    std::string line;
    bool first = true;
    for (const std::string& part : parts) {
        if (!first) line += '\t';
        line += part;
        first = false;
    }
    return line;
}

void SaveNamed(std::string& out, const char* key, const std::vector<NamedTotal>& table) {
    for (const NamedTotal& entry : table)
        out += std::string(key) + "=" +
               Join({Clean(entry.name), std::to_string(entry.total), std::to_string(entry.count)}) + "\n";
}

bool LoadNamed(const std::vector<std::string>& parts, std::vector<NamedTotal>& table) {
    NamedTotal entry;
    if (parts.size() != 3 || !ToNumber(parts[1], entry.total, 0) || !ToNumber(parts[2], entry.count, 0)) return false;
    entry.name = parts[0];
    table.push_back(entry);
    return true;
}

bool LoadRow(PrinterState& state, const std::string& key, const std::string& value) {
    for (const NamedField& named : kFields) {
        if (key != named.name) continue;
        return std::visit(
            [&](auto member) {
                auto& target = state.*member;
                using T = std::remove_reference_t<decltype(target)>;
                if constexpr (std::is_same_v<T, std::string>) {
                    target = value;
                    return true;
                } else if constexpr (std::is_same_v<T, bool>) {
                    if (value != "0" && value != "1") return false;
                    target = value == "1";
                    return true;
                } else {
                    return ToNumber(value, target, named.signedNumber ? INT64_MIN : 0);
                }
            },
            named.field);
    }
    if (key == "cliche") return state.cliche.push_back(value), true;
    if (key == "opcao") return state.settings.push_back(value), true;
    const std::vector<std::string> parts = Split(value);
    if (key == "documento") {
        int document = 0;
        if (!ToNumber(value, document) || document < 0 || document > 4) return false;
        state.document = static_cast<Document>(document);
        return true;
    }
    if (key == "item") {
        // Files written before partial cancellations were kept lack the ninth.
        Item item;
        int cancelled = 0;
        if ((parts.size() != 8 && parts.size() != 9) || !ToNumber(parts[4], item.quantity, 1, kLargestQuantity) ||
            !ToNumber(parts[5], item.unitPrice, 1, kLargestReceipt) ||
            !ToNumber(parts[6], item.adjustment, -kLargestReceipt, kLargestReceipt) ||
            !ToNumber(parts[7], cancelled, 0, 1) ||
            (parts.size() == 9 && !ToNumber(parts[8], item.cancelledQuantity, 0, kLargestQuantity)))
            return false;
        item.code = parts[0], item.description = parts[1], item.taxCode = parts[2], item.unit = parts[3];
        item.cancelled = cancelled != 0;
        state.items.push_back(item);
        return true;
    }
    if (key == "pagamento") {
        Payment payment;
        if (parts.size() != 2 || !ToNumber(parts[1], payment.amount, 1)) return false;
        payment.form = parts[0];
        state.payments.push_back(payment);
        return true;
    }
    if (key == "aliquota") {
        TaxRate rate;
        if (parts.size() != 3 || !ToNumber(parts[1], rate.rate, 1, 9999) || !ToNumber(parts[2], rate.total, 0) ||
            parts[0].size() < 2 || (parts[0][0] != 'T' && parts[0][0] != 'S'))
            return false;
        rate.code = parts[0];
        state.taxRates.push_back(rate);
        return true;
    }
    if (key == "forma") return LoadNamed(parts, state.paymentForms);
    if (key == "totalizador") return LoadNamed(parts, state.nonFiscalTotalizers);
    if (key == "gerencial") return LoadNamed(parts, state.reports);
    return false;
}

}  // namespace

PrinterState PrinterState::Factory() {
    PrinterState state;
    state.taxRates = {{"T1", 1800, 0}, {"T2", 1200, 0}, {"T3", 700, 0}, {"S1", 500, 0}};
    state.paymentForms = {{"Dinheiro", 0, 0}, {"Cheque", 0, 0}, {"Cartao", 0, 0}};
    state.nonFiscalTotalizers = {{"Sangria", 0, 0}, {"Suprimento", 0, 0}, {"Recebimento", 0, 0}};
    state.reports = {{"Geral", 0, 0}};
    state.cliche = {"LOJA DEMONSTRACAO LTDA", "RUA DAS FLORES, 10 - CENTRO", "CNPJ 00.000.000/0001-00"};
    return state;
}

Cents PrinterState::ItemsTotal() const {
    Cents total = 0;
    for (const Item& item : items) total += item.Net();
    return total;
}

Cents PrinterState::Paid() const {
    Cents paid = 0;
    for (const Payment& payment : payments) paid += payment.amount;
    return paid;
}

Cents* PrinterState::RateTotal(const std::string& code) {
    for (TaxRate& rate : taxRates)
        if (rate.code == code) return &rate.total;
    if (code == "F" || code == "F1") return &daySubstituted;
    if (code == "I" || code == "I1") return &dayExempt;
    if (code == "N" || code == "N1") return &dayNotLevied;
    return nullptr;
}

const TaxRate* PrinterState::FindTaxRate(const std::string& code) const {
    for (const TaxRate& rate : taxRates)
        if (rate.code == code) return &rate;
    return nullptr;
}

NamedTotal* PrinterState::FindNamed(std::vector<NamedTotal>& table, const std::string& name) {
    for (NamedTotal& entry : table)
        if (entry.name == name) return &entry;
    return nullptr;
}

std::string SaveState(const PrinterState& state) {
    std::string out = std::string(kHeader) + " " + std::to_string(PrinterState::kVersion) + "\n";
    out += "documento=" + std::to_string(static_cast<int>(state.document)) + "\n";
    for (const NamedField& named : kFields) {
        std::visit(
            [&](auto member) {
                const auto& value = state.*member;
                using T = std::remove_cvref_t<decltype(value)>;
                if constexpr (std::is_same_v<T, std::string>) {
                    out += std::string(named.name) + "=" + Clean(value) + "\n";
                } else {
                    out += std::string(named.name) + "=" + std::to_string(value) + "\n";
                }
            },
            named.field);
    }
    for (const Item& item : state.items)
        out += "item=" +
               Join({Clean(item.code), Clean(item.description), Clean(item.taxCode), Clean(item.unit),
                     std::to_string(item.quantity), std::to_string(item.unitPrice), std::to_string(item.adjustment),
                     item.cancelled ? "1" : "0", std::to_string(item.cancelledQuantity)}) +
               "\n";
    for (const Payment& payment : state.payments)
        out += "pagamento=" + Join({Clean(payment.form), std::to_string(payment.amount)}) + "\n";
    for (const TaxRate& rate : state.taxRates)
        out += "aliquota=" + Join({Clean(rate.code), std::to_string(rate.rate), std::to_string(rate.total)}) + "\n";
    SaveNamed(out, "forma", state.paymentForms);
    SaveNamed(out, "totalizador", state.nonFiscalTotalizers);
    SaveNamed(out, "gerencial", state.reports);
    for (const std::string& line : state.cliche) out += "cliche=" + Clean(line) + "\n";
    for (const std::string& line : state.settings) out += "opcao=" + Clean(line) + "\n";
    out += std::string(kEnd) + "\n";
    return out;
}

LoadedState LoadState(const std::optional<std::string>& fileBytes) {
    if (!fileBytes) return {PrinterState::Factory(), kOk};
    const std::string& text = *fileBytes;
    const std::string header = std::string(kHeader) + " ";
    if (text.rfind(header, 0) != 0) return {PrinterState::Factory(), kStateDamaged};
    const std::size_t headerEnd = text.find('\n');
    int version = 0;
    if (headerEnd == std::string::npos || !ToNumber(text.substr(header.size(), headerEnd - header.size()), version))
        return {PrinterState::Factory(), kStateDamaged};
    if (version != PrinterState::kVersion) return {PrinterState::Factory(), kStateOtherVersion};

    PrinterState state;  // the file holds every table, so nothing comes from the factory
    state.dayStartGrandTotal = -1;
    bool ended = false;
    for (std::size_t start = headerEnd + 1; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (ended) return {PrinterState::Factory(), kStateDamaged};
        if (line == kEnd) {
            ended = true;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || !LoadRow(state, line.substr(0, equals), line.substr(equals + 1)))
            return {PrinterState::Factory(), kStateDamaged};
    }
    // A file cut short lacks its last line.
    if (!ended) return {PrinterState::Factory(), kStateDamaged};
    // Files written before the GT of the day's start was kept.
    if (state.dayStartGrandTotal < 0) state.dayStartGrandTotal = state.grandTotal - state.dayGross;
    return {std::move(state), kOk};
}

}  // namespace zentrada::virtual_printer
