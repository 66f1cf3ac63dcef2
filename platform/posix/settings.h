#pragma once

#include <cstdint>
#include <string_view>

#include "platform/settings_store.h"

namespace zentrada::platform {

// The settings file's text: "Key=Value" lines, "#" comment lines, blanks
// around keys and values and a CR before the line feed ignored, key names
// compared without letter case, the last line of a key winning. What the text
// lacks, an empty directory or a flag that is not a number, keeps `defaults`.
StoredSettings ParseSettingsText(std::string_view text, StoredSettings defaults);

// The driver library's "Log" value from its settings file's text, in the same
// syntax; 0 when missing or not a 32-bit number.
std::int32_t ParseDriverLogSetting(std::string_view text);

}  // namespace zentrada::platform
