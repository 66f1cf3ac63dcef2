#include "platform/posix/terminal.h"

#include <strings.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace zentrada::platform {
namespace {

// Unicode code points of the bytes 0x80 to 0x9F; the rest of the code page
// is Latin-1 and maps onto itself.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// Whether the terminal's locale, named as setlocale(LC_CTYPE, "") would find
// it (LC_ALL, else LC_CTYPE, else LANG), uses UTF-8. Read from the names so
// the locale's own tables, a sizeable share of the agent's memory, are never
// loaded for the few messages a terminal gets.
bool LocaleIsUtf8() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || *value == '\0') continue;
        const std::string_view name = value;
        const std::size_t dot = name.find('.');
        if (dot == std::string_view::npos) return false;
        const std::string codeset(name.substr(dot + 1, name.find('@', dot) - dot - 1));
        return strcasecmp(codeset.c_str(), "UTF-8") == 0 || strcasecmp(codeset.c_str(), "UTF8") == 0;
    }
    return false;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (const char c : text) {
        const auto byte = static_cast<std::uint8_t>(c);
        AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : char32_t{byte});
    }
    return out;
}

void WriteTerminalText(OutputStream stream, std::string_view text) {
    std::FILE* file = stream == OutputStream::Error ? stderr : stdout;
    const std::string converted = LocaleIsUtf8() ? Cp1252ToUtf8(text) : std::string(text);
    std::fwrite(converted.data(), 1, converted.size(), file);
    std::fflush(file);
}

void WriteOutputBytes(std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

}  // namespace zentrada::platform
