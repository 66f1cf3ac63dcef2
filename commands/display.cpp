// Customer display.
#include "commands/families.h"

namespace zentrada::commands {
namespace {

constexpr CommandRow kDisplayRows[] = {
    ZENTRADA_ROW(900, TORVA_Display_Enviar_Texto, Text),
    ZENTRADA_ROW(901, TORVA_Display_Cursor, Int, Int, Int),
    ZENTRADA_ROW(902, TORVA_Display_Apagar_Texto, Int),
    ZENTRADA_ROW(903, TORVA_Display_Configurar, Int, Int, Int),
    ZENTRADA_ROW(904, TORVA_Display_Inicializar, Int),
};

}  // namespace

std::span<const CommandRow> DisplayRows() { return kDisplayRows; }

}  // namespace zentrada::commands
