// Configuration (tax rates, payment forms, totalisers, reports, operator,
// options) and the peripherals (cheque, authentication, drawer, paper).
//
// Parameters, in the order of the command line:
//   Config_Aliquota: rate ("18,00"), ISS? (0 ICMS, code T<n>; 1 ISS, code S<n>)
//   Config_Forma_Pagamento: (int), name, (text); ...EX: (int), name
//   Config_Totalizador_NaoFiscal: name (its number is given back)
//   Config_Relatorio_Gerencial: name; Config_Operador(EX): name[, (int)]
//   Cheque_Imprimir(EX): bank, amount, (int), payee, city, date, (text)
//   Autenticar_Imprimir: the text to authenticate; Impressora_Avancar_Papel: lines
#include "virtual_printer/printer.h"

namespace zentrada::virtual_printer {
namespace {

constexpr std::size_t kTableSize = 16;

Status AddNamed(std::vector<NamedTotal>& table, const std::string& name) {
    if (name.empty()) return kInvalidParameter;
    for (const NamedTotal& entry : table)
        if (entry.name == name) return kOk;
    if (table.size() >= kTableSize) return kTableFull;
    table.push_back({name, 0, 0});
    return kOk;
}

Status ProgramTaxRate(Printer& printer, const Call& call) {
    PrinterState& state = printer.state;
    const auto rate = ParseDecimal(call.Text(0), 2);
    if (!rate || *rate <= 0 || *rate >= 10000) return kInvalidParameter;
    const char kind = call.Int(1) != 0 ? 'S' : 'T';
    int count = 0;
    for (const TaxRate& existing : state.taxRates) {
        if (existing.code[0] == kind && existing.rate == *rate) return kOk;
        if (existing.code[0] == kind) ++count;
    }
    if (state.taxRates.size() >= kTableSize) return kTableFull;
    state.taxRates.push_back({std::string(1, kind) + std::to_string(count + 1), *rate, 0});
    return kOk;
}

Status ProgramPaymentForm(Printer& printer, const Call& call) {
    return AddNamed(printer.state.paymentForms, call.Text(1));
}
Status ProgramReport(Printer& printer, const Call& call) { return AddNamed(printer.state.reports, call.Text(0)); }

Status ProgramTotalizer(Printer& printer, const Call& call) {
    std::vector<NamedTotal>& table = printer.state.nonFiscalTotalizers;
    const Status status = AddNamed(table, call.Text(0));
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].name == call.Text(0)) call.OutNumber(1, static_cast<std::int32_t>(i + 1));
    return status;
}

Status ProgramOperator(Printer& printer, const Call& call) {
    if (call.Text(0).empty()) return kInvalidParameter;
    printer.state.operatorName = call.Text(0);
    return kOk;
}

// The other options are kept as given, "name=value", the last one winning.
Status Option(Printer& printer, const std::string& name, const std::string& value) {
    std::vector<std::string>& settings = printer.state.settings;
    std::erase_if(settings, [&](const std::string& s) { return s.rfind(name + "=", 0) == 0; });
    settings.push_back(name + "=" + value);
    return kOk;
}
#define ZV_OPTION_INT(name) \
    {"TORVA_" #name, [](Printer& p, const Call& c) { return Option(p, #name, std::to_string(c.Int(0))); }}
#define ZV_OPTION_TEXT(name) {"TORVA_" #name, [](Printer& p, const Call& c) { return Option(p, #name, c.Text(0)); }}

Status Cheque(Printer& printer, const Call& call) {
    const auto amount = ParseMoney(call.Text(1));
    if (!amount || *amount <= 0) return kInvalidParameter;
    printer.Print("== CHEQUE ==  banco " + call.Text(0));
    printer.PrintColumns("Valor", FormatMoney(*amount));
    printer.Print("A " + call.Text(3));
    printer.Print(call.Text(4) + ", " + call.Text(5));
    printer.Print("");
    return kOk;
}

Status Endorsement(Printer& printer, const Call& call) {
    printer.Print("== ENDOSSO ==  " + call.Text(0));
    return kOk;
}

Status Authenticate(Printer& printer, const Call& call) {
    printer.Print("== AUTENTICACAO ==  " + Printer::DateTime() + "  " + call.Text(0));
    return kOk;
}

Status Reauthenticate(Printer& printer, const Call&) {
    printer.Print("== AUTENTICACAO (2a via) ==  " + Printer::DateTime());
    return kOk;
}

Status CutPaper(Printer& printer, const Call&) {
    printer.Print("- - - - - - - - - - - corte - - - - - - - - - - -");
    return kOk;
}

Status FeedPaper(Printer& printer, const Call& call) {
    for (int i = 0; i < call.Int(0) && i < 100; ++i) printer.Print("");
    return kOk;
}

constexpr HandlerRow kRows[] = {
    {"TORVA_Config_Aliquota", ProgramTaxRate},
    {"TORVA_Config_Relatorio_Gerencial", ProgramReport},
    {"TORVA_Config_Forma_Pagamento", ProgramPaymentForm},
    {"TORVA_Config_Forma_PagamentoEX", ProgramPaymentForm},
    {"TORVA_Config_Totalizador_NaoFiscal", ProgramTotalizer},
    {"TORVA_Config_Operador", ProgramOperator},
    {"TORVA_Config_OperadorEX", ProgramOperator},
    ZV_OPTION_TEXT(Config_Espaco_Entre_Documentos),
    ZV_OPTION_TEXT(Config_Espaco_Entre_Linhas),
    ZV_OPTION_INT(Config_Habilita_Logotipo),
    ZV_OPTION_INT(Config_Corte_Papel),
    ZV_OPTION_TEXT(Config_Serial_Impressora),
    ZV_OPTION_INT(Config_Habilita_CAT52_Auto),
    ZV_OPTION_INT(Config_Habilita_RJSSER16_Auto),
    ZV_OPTION_INT(Config_Habilita_Mensagem_Cupom_Mania),
    ZV_OPTION_INT(Config_Habilita_Mensagem_Minas_Legal),
    ZV_OPTION_INT(Config_Habilita_PAFECF_Auto),
    ZV_OPTION_INT(Config_Habilita_Sintegra_Auto),
    ZV_OPTION_INT(Config_Habilita_EAD),
    ZV_OPTION_INT(Config_ReducaoZ_Automatica),
    ZV_OPTION_INT(Config_Download_Segmentado_MFD),
    {"TORVA_Cheque_Imprimir", Cheque, kIdle},
    {"TORVA_Cheque_ImprimirEX", Cheque, kIdle},
    {"TORVA_Cheque_Imprimir_Endosso", Endorsement},
    {"TORVA_Autenticar_Imprimir", Authenticate},
    {"TORVA_Autenticar_Reimprimir", Reauthenticate},
    {"TORVA_Impressora_Cortar_Papel", CutPaper},
    {"TORVA_Impressora_Avancar_Papel", FeedPaper},
};
static_assert(NamesEntryPoints(kRows));

}  // namespace

std::span<const HandlerRow> SetupHandlers() { return kRows; }

}  // namespace zentrada::virtual_printer
