#include "commands/conversions.h"

#include <array>

#include "commands/ascii.h"

namespace zentrada::commands {
namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::int32_t ParseDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Unsigned arithmetic wraps by definition, which is the rule for numbers
    // beyond 32 bits.
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
}

std::int32_t ParseBooleanWord(std::string_view text) {
    static constexpr std::array<std::string_view, 9> kTrueWords = {
        "1", "S", "SIM", "T", "TRUE", "V", "VERDADEIRO", "Y", "YES"};
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    for (std::string_view word : kTrueWords)
        if (EqualIgnoringAsciiCase(text, word)) return 1;
    return 0;
}

std::int32_t ParseChar(std::string_view text) {
    return text.empty() ? 0 : static_cast<std::int32_t>(static_cast<unsigned char>(text[0]));
}

}  // namespace zentrada::commands
