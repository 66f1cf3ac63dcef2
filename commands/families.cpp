// The families in code order: each is a table of rows of its own range.
#include "commands/families.h"

namespace zentrada::commands {

std::span<const Family> Families() {
    static constexpr Family kFamilies[] = {
        {100, 125, "Fiscal receipt", FiscalRows},
        {200, 229, "Non-fiscal documents", NaoFiscalRows},
        {300, 308, "Fiscal reports", RelatorioFiscalRows},
        {400, 471, "Queries", ObterRows},
        {500, 528, "Configuration", ConfigRows},
        {600, 614, "Cheque and endorsement", ChequeRows},
        {700, 702, "Printer mechanics", ImpressoraRows},
        {800, 801, "Authentication", AutenticarRows},
        {900, 904, "Customer display", DisplayRows},
        {905, 905, "Driver log", SysLogRows},
    };
    return kFamilies;
}

}  // namespace zentrada::commands
