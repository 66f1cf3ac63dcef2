// The ten command families. Each is a table of rows run by the handler frame;
// its handler takes a code of its range and the line's parameters.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "commands/command_context.h"
#include "commands/command_row.h"

namespace zentrada::commands {

using FamilyHandler = std::int32_t (*)(CommandContext&, std::int32_t code,
                                       const std::vector<std::string>& params);

struct Family {
    std::int32_t firstCode;
    std::int32_t lastCode;
    const char* title;
    FamilyHandler handler;
    std::span<const CommandRow> (*rows)();
};

#define ZENTRADA_DECLARE_FAMILY(Handler, Rows)                                                 \
    std::int32_t Handler(CommandContext& context, std::int32_t code,                         \
                         const std::vector<std::string>& params);                            \
    std::span<const CommandRow> Rows();

ZENTRADA_DECLARE_FAMILY(ExecuteFiscal, FiscalRows)
ZENTRADA_DECLARE_FAMILY(ExecuteNaoFiscal, NaoFiscalRows)
ZENTRADA_DECLARE_FAMILY(ExecuteRelatorioFiscal, RelatorioFiscalRows)
ZENTRADA_DECLARE_FAMILY(ExecuteObter, ObterRows)
ZENTRADA_DECLARE_FAMILY(ExecuteConfig, ConfigRows)
ZENTRADA_DECLARE_FAMILY(ExecuteCheque, ChequeRows)
ZENTRADA_DECLARE_FAMILY(ExecuteImpressora, ImpressoraRows)
ZENTRADA_DECLARE_FAMILY(ExecuteAutenticar, AutenticarRows)
ZENTRADA_DECLARE_FAMILY(ExecuteDisplay, DisplayRows)
ZENTRADA_DECLARE_FAMILY(ExecuteSysLog, SysLogRows)
#undef ZENTRADA_DECLARE_FAMILY

// The families in code order, with their ranges.
std::span<const Family> Families();

}  // namespace zentrada::commands

// Defines a family's handler and row accessor over its table `table`.
#define ZENTRADA_DEFINE_FAMILY(Handler, Rows, table)                                          \
    std::int32_t Handler(CommandContext& context, std::int32_t code,                         \
                         const std::vector<std::string>& params) {                           \
        return RunFamilyCommand(table, context, code, params);                               \
    }                                                                                         \
    std::span<const CommandRow> Rows() { return table; }
