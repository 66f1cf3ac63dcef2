#include "virtual_printer/printer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "virtual_printer/printer_files.h"

namespace zentrada::virtual_printer {
namespace {

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local;
}

// The memory is written whole to a new file that then replaces the old one,
// so a crash mid-write leaves the previous state rather than half of one.
bool SaveStateFile(const PrinterState& state) {
    const std::string path = StateFilePath();
    const std::string temporary = path + ".novo";
    if (!WriteWholeFile(temporary, SaveState(state), "wb")) return false;
    std::remove(path.c_str());
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

Document Left(Leaves leaves, Document before) {
    switch (leaves) {
        case Leaves::Same: return before;
        case Leaves::Nothing: return Document::None;
        case Leaves::Receipt: return Document::FiscalReceipt;
        case Leaves::Voucher: return Document::NonFiscalVoucher;
        case Leaves::Ccd: return Document::Ccd;
        case Leaves::Report: return Document::ManagementReport;
    }
    return before;
}

}  // namespace

const HandlerRow* FindRow(std::string_view name) {
    for (const auto table : {FiscalHandlers(), DocumentHandlers(), QueryHandlers(), SetupHandlers()})
        for (const HandlerRow& row : table)
            if (row.name == name) return &row;
    return nullptr;
}

Status CheckNeeds(const PrinterState& state, const Needs& needs) {
    if ((needs.documents & In(state.document)) == 0) {
        if (needs.refusal != kOk) return needs.refusal;
        if (state.document == Document::None) return kNoDocument;
        return needs.documents == In(Document::None) ? kDocumentOpen : kWrongDocument;
    }
    const bool paying = !state.payments.empty();
    if (needs.stage == Stage::BeforePayment && paying) return kPaymentStarted;
    if (needs.stage == Stage::Selling && (paying || state.subtotalAdjusted)) return kPaymentStarted;
    return kOk;
}

std::string Call::Text(std::size_t place) const {
    if (place >= arguments_.size() || arguments_[place].kind != Argument::Kind::Text) return {};
    return arguments_[place].text != nullptr ? arguments_[place].text : "";
}

std::int32_t Call::Int(std::size_t place) const {
    return place < arguments_.size() && arguments_[place].kind == Argument::Kind::Int ? arguments_[place].value : 0;
}

void Call::Out(std::size_t place, std::string_view text) const {
    if (place >= arguments_.size()) return;
    const Argument& argument = arguments_[place];
    if (argument.kind != Argument::Kind::Buffer || argument.buffer == nullptr || argument.size <= 0) return;
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(argument.size - 1));
    std::memcpy(argument.buffer, text.data(), n);
    argument.buffer[n] = '\0';
}

void Call::OutNumber(std::size_t place, std::int32_t value) const {
    if (place < arguments_.size() && arguments_[place].kind == Argument::Kind::Number && arguments_[place].number)
        *arguments_[place].number = value;
}

void Printer::Print(std::string_view line) {
    printed.emplace_back(line.substr(0, kColumns));
    ++state.linesPrinted;
}

void Printer::PrintCentered(std::string_view line) {
    line = line.substr(0, kColumns);
    Print(std::string((kColumns - line.size()) / 2, ' ') + std::string(line));
}

void Printer::PrintColumns(std::string_view left, std::string_view right) {
    right = right.substr(0, kColumns);
    left = left.substr(0, kColumns - right.size() - (right.empty() ? 0 : 1));
    Print(std::string(left) + std::string(kColumns - left.size() - right.size(), ' ') + std::string(right));
}

void Printer::PrintRule(char c) { Print(std::string(kColumns, c)); }

void Printer::PrintHeader(std::string_view title) {
    for (const std::string& line : state.cliche) PrintCentered(line);
    PrintRule();
    PrintColumns(DateTime(), "COO:" + ZeroPadded(state.coo, 6));
    PrintCentered(title);
    PrintRule();
}

void Printer::PrintFooter() {
    PrintRule();
    PrintColumns("ECF 001  OPERADOR: " + state.operatorName, "");
    PrintCentered("IMPRESSORA VIRTUAL ZENTRADA");
    Print("");
}

std::string Printer::Date() {
    const std::tm t = LocalNow();
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", t.tm_mday, t.tm_mon + 1, t.tm_year + 1900);
    return text;
}

std::string Printer::DateTime() {
    const std::tm t = LocalNow();
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
    return Date() + " " + text;
}

std::string ZeroPadded(int value, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", width, value);
    return text;
}

Status OpenDocument(Printer& printer) {
    PrinterState& state = printer.state;
    const std::string today = Printer::Date();
    if (state.dayOpen && state.dayDate != today) return kReductionPending;
    if (!state.dayOpen) {
        // The day opens with its first document, unless it was closed today.
        if (state.lastReductionDate == today) return kDayClosed;
        state.dayOpen = true;
        state.dayDate = today;
    }
    ++state.coo;
    state.items.clear();
    state.payments.clear();
    state.subtotalAdjustment = 0;
    state.subtotalAdjusted = false;
    return kOk;
}

std::int32_t RunPrinter(std::string_view name, std::span<const Argument> arguments) {
    const HandlerRow* row = FindRow(name);
    if (row == nullptr) return kOk;
    const std::optional<std::string> bytes = ReadWholeFile(StateFilePath());
    LoadedState loaded = LoadState(bytes);
    const Call call(arguments);
    Printer printer{loaded.state, {}};
    if (loaded.status != kOk) {
        // A damaged memory answers every call with its status, but its
        // message can still be asked for.
        return name == "TORVA_Obter_Mensagem_Erro" ? row->handler(printer, call) : loaded.status;
    }
    if (const Status refused = CheckNeeds(loaded.state, row->needs); refused != kOk) return refused;
    // A memory reads back as it was written, so its bytes tell a change.
    const std::string before = bytes ? *bytes : SaveState(loaded.state);
    const Status status = row->handler(printer, call);
    if (status != kOk) return status;  // what the handler changed is dropped
    printer.state.document = Left(row->leaves, printer.state.document);
    if (!printer.printed.empty()) {
        std::string roll;
        for (const std::string& line : printer.printed) roll += line + "\n";
        WriteWholeFile(RollFilePath(), roll, "ab");
    }
    if (SaveState(printer.state) != before && !SaveStateFile(printer.state)) return kStateNotSaved;
    return kOk;
}

}  // namespace zentrada::virtual_printer
