#pragma once

#include <string>
#include <string_view>

namespace zentrada::platform {

// Code page 1252 bytes as UTF-8. The five bytes the code page leaves unused
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same
// number, as Windows converts them.
std::string Cp1252ToUtf8(std::string_view text);

}  // namespace zentrada::platform
