// The dispatch: each family handler takes the codes of its range.
#include "commands/catalogue.h"
#include "commands/families.h"

namespace zentrada::commands {

std::int32_t DispatchCommand(std::int32_t code, const std::vector<std::string>& params,
                             CommandContext& context) {
    for (const Family& family : Families())
        if (code >= family.firstCode && code <= family.lastCode) return family.handler(context, code, params);
    return code == kEndMarkerCode ? 0 : -1;
}

std::span<const Family> Families() {
    static constexpr Family kFamilies[] = {
        {100, 125, "Fiscal receipt", ExecuteFiscal, FiscalRows},
        {200, 229, "Non-fiscal documents", ExecuteNaoFiscal, NaoFiscalRows},
        {300, 308, "Fiscal reports", ExecuteRelatorioFiscal, RelatorioFiscalRows},
        {400, 471, "Queries", ExecuteObter, ObterRows},
        {500, 528, "Configuration", ExecuteConfig, ConfigRows},
        {600, 614, "Cheque and endorsement", ExecuteCheque, ChequeRows},
        {700, 702, "Printer mechanics", ExecuteImpressora, ImpressoraRows},
        {800, 801, "Authentication", ExecuteAutenticar, AutenticarRows},
        {900, 904, "Customer display", ExecuteDisplay, DisplayRows},
        {905, 905, "Driver log", ExecuteSysLog, SysLogRows},
    };
    return kFamilies;
}

}  // namespace zentrada::commands
