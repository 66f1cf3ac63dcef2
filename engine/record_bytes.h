#pragma once

namespace zentrada::engine {

// Records and log lines end with a carriage return and the line feed that
// Windows text mode expands to CR LF: 13, 13, 10 on disk, on every OS.
inline constexpr char kRecordEnd[] = "\r\r\n";

}  // namespace zentrada::engine
