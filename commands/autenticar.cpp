// Authentication printing.
#include "commands/families.h"

namespace zentrada::commands {
namespace {

constexpr CommandRow kAutenticarRows[] = {
    ZENTRADA_ROW(800, TORVA_Autenticar_Imprimir, Text),
    ZENTRADA_ROW(801, TORVA_Autenticar_Reimprimir),
};

}  // namespace

std::span<const CommandRow> AutenticarRows() { return kAutenticarRows; }

}  // namespace zentrada::commands
