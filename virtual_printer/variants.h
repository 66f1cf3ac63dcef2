// The library's test variants lack some entry points. A variant is chosen
// at compile time; each name it lacks is defined as "~, VP_HIDDEN", which
// VP_LINKAGE (exports.cpp) turns into a hidden definition.
#pragma once

// Lacks two entry points that older driver libraries lack.
#if defined(VIRTUAL_PRINTER_PARTIAL)
#define VP_LACKS_TORVA_Config_Habilita_EAD ~, VP_HIDDEN
#define VP_LACKS_TORVA_Display_Cursor ~, VP_HIDDEN
#endif

// Lacks entry points the agent cannot work without.
#if defined(VIRTUAL_PRINTER_NO_WORKER)
#define VP_LACKS_TORVA_Serial_Abrir_PortaEX ~, VP_HIDDEN
#define VP_LACKS_TORVA_Obter_Estado_Impressora ~, VP_HIDDEN
#define VP_LACKS_TORVA_Sys_Log ~, VP_HIDDEN
#define VP_LACKS_TORVA_Serial_Fechar_Porta ~, VP_HIDDEN
#endif

// Lacks the calls of the idle poll and of the stop.
#if defined(VIRTUAL_PRINTER_NO_POLL)
#define VP_LACKS_TORVA_Obter_Estado_Impressora ~, VP_HIDDEN
#define VP_LACKS_TORVA_Sys_Log ~, VP_HIDDEN
#define VP_LACKS_TORVA_Serial_Fechar_Porta ~, VP_HIDDEN
#endif
