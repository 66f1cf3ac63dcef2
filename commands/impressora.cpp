// Printer mechanics: cash drawer, paper cut and feed.
#include "commands/families.h"

namespace zentrada::commands {
namespace {

constexpr CommandRow kImpressoraRows[] = {
    ZENTRADA_ROW(700, TORVA_Impressora_Abrir_Gaveta),
    ZENTRADA_ROW(701, TORVA_Impressora_Cortar_Papel),
    ZENTRADA_ROW(702, TORVA_Impressora_Avancar_Papel, Int),
};

}  // namespace

std::span<const CommandRow> ImpressoraRows() { return kImpressoraRows; }

}  // namespace zentrada::commands
