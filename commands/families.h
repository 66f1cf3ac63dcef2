// The ten command families. Each is a table of rows run by the handler frame;
// the catalogue points each name at its row.
#pragma once

#include <cstdint>
#include <span>

#include "commands/command_row.h"

namespace zentrada::commands {

struct Family {
    std::int32_t firstCode;
    std::int32_t lastCode;
    const char* title;
    std::span<const CommandRow> (*rows)();
};

std::span<const CommandRow> FiscalRows();
std::span<const CommandRow> NaoFiscalRows();
std::span<const CommandRow> RelatorioFiscalRows();
std::span<const CommandRow> ObterRows();
std::span<const CommandRow> ConfigRows();
std::span<const CommandRow> ChequeRows();
std::span<const CommandRow> ImpressoraRows();
std::span<const CommandRow> AutenticarRows();
std::span<const CommandRow> DisplayRows();
std::span<const CommandRow> SysLogRows();

// The families in code order, with their ranges.
std::span<const Family> Families();

}  // namespace zentrada::commands

