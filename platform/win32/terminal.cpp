#include <windows.h>

#include "platform/platform.h"

namespace zentrada::platform {
namespace {

void WriteAll(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written == 0)
            return;
        bytes.remove_prefix(written);
    }
}

}  // namespace

// A console shows the code page 1252 text as the Unicode it stands for,
// whatever the console's own code page. Redirected to a file or a pipe, the
// text goes out as code page 1252 bytes with CR LF line ends, as a Windows
// program's text output is.
void WriteTerminalText(OutputStream stream, std::string_view text) {
    const HANDLE handle = GetStdHandle(stream == OutputStream::Error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        if (text.empty()) return;
        const int size = static_cast<int>(text.size());
        std::wstring wide(static_cast<std::size_t>(size), L'\0');
        const int n = MultiByteToWideChar(1252, 0, text.data(), size, wide.data(), size);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(n), &written, nullptr);
        return;
    }
    std::string bytes;
    bytes.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) bytes.push_back('\r');
        bytes.push_back(text[i]);
    }
    WriteAll(handle, bytes);
}

void WriteOutputBytes(std::string_view bytes) {
    const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written == 0) return;
        bytes.remove_prefix(written);
    }
}

}  // namespace zentrada::platform
