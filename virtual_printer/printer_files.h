// Where the virtual printer keeps its memory, its paper roll and its fault
// settings: the directory TORVA_PRINTER_DIR names, else the library's own.
#pragma once

#include <string>

namespace zentrada::virtual_printer {

std::string PrinterDirectory();  // ends with the separator
std::string StateFilePath();     // "impressora_virtual.txt"
std::string RollFilePath();      // "bobina.txt"
std::string FaultsFilePath();    // TORVA_FAULTS, else "falhas.txt" in the directory

}  // namespace zentrada::virtual_printer
