// Authentication printing.
#include "commands/families.h"
#include "commands/frame.h"

namespace zentrada::commands {
namespace {

constexpr CommandRow kAutenticarRows[] = {
    ZENTRADA_ROW(800, TORVA_Autenticar_Imprimir, Text),
    ZENTRADA_ROW(801, TORVA_Autenticar_Reimprimir),
};

}  // namespace

ZENTRADA_DEFINE_FAMILY(ExecuteAutenticar, AutenticarRows, kAutenticarRows)

}  // namespace zentrada::commands
