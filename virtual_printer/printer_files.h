// Where the virtual printer keeps its memory, its paper roll and its fault
// settings: the directory TORVA_PRINTER_DIR names, else the library's own.
#pragma once

#include <optional>
#include <string>

namespace zentrada::virtual_printer {

std::string PrinterDirectory();  // ends with the separator
std::string StateFilePath();     // "impressora_virtual.txt"
std::string RollFilePath();      // "bobina.txt"
std::string FaultsFilePath();    // TORVA_FAULTS, else "falhas.txt" in the directory; empty for "off"

// A whole file's bytes; none when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);
// Writes `bytes` with the fopen `mode` ("wb" or "ab"); false when not all went.
bool WriteWholeFile(const std::string& path, const std::string& bytes, const char* mode);

}  // namespace zentrada::virtual_printer
