// How parameter texts become driver arguments.
#pragma once

#include <cstdint>
#include <string_view>

namespace zentrada::commands {

// The decimal rule: leading white space, an optional sign, digits up to the
// first non-digit; no digits give 0; the value wraps modulo 2^32.
std::int32_t ParseDecimal(std::string_view text);

// The boolean word rule: blanks trimmed, ASCII upper-cased, 1 for one of the
// nine words "1", "S", "SIM", "T", "TRUE", "V", "VERDADEIRO", "Y", "YES".
std::int32_t ParseBooleanWord(std::string_view text);

// The char rule: the first byte of the text, 0 for an empty text.
std::int32_t ParseChar(std::string_view text);

}  // namespace zentrada::commands
