#include "shell/log_text.h"

#include "platform/platform.h"

namespace zentrada::shell {

std::string LogTextForViewerFromBytes(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 32);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;  // CR LF reads as LF
        if (c == '\n') {
            if (text.empty() || text.back() != '\r') text += '\r';
            text += '\n';
        } else {
            text += c == '\0' ? ' ' : c;
        }
    }
    return text;
}

std::string LogTextForViewer(const std::string& path) {
    const auto bytes = platform::ReadFileBytes(path);
    return bytes ? LogTextForViewerFromBytes(*bytes) : std::string();
}

}  // namespace zentrada::shell
