#include "virtual_printer/printer_files.h"

#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace zentrada::virtual_printer {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

#if defined(_WIN32)
constexpr char kSeparator = '\\';
std::string LibraryPath() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&LibraryPath), &self);
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(path, n) : std::string();
}
#else
constexpr char kSeparator = '/';
std::string LibraryPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&LibraryPath), &info) == 0 || info.dli_fname == nullptr) return {};
    return info.dli_fname;
}
#endif

}  // namespace

std::string PrinterDirectory() {
    std::string directory = Environment("TORVA_PRINTER_DIR");
    if (directory.empty()) {
        // The library does not move while loaded: found once, not per call.
        static const std::string library = LibraryPath();
        const auto separator = library.find_last_of("/\\");
        directory = separator == std::string::npos ? std::string(".") : library.substr(0, separator);
    }
    if (directory.back() != '/' && directory.back() != '\\') directory += kSeparator;
    return directory;
}

std::string StateFilePath() { return PrinterDirectory() + "impressora_virtual.txt"; }
std::string RollFilePath() { return PrinterDirectory() + "bobina.txt"; }

std::string FaultsFilePath() {
    const std::string named = Environment("TORVA_FAULTS");
    if (named == "off") return {};
    return named.empty() ? PrinterDirectory() + "falhas.txt" : named;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::nullopt;
    std::string content;
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) content.append(chunk, got);
    std::fclose(file);
    return content;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes, const char* mode) {
    std::FILE* file = std::fopen(path.c_str(), mode);
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace zentrada::virtual_printer
