#pragma once

#include <cstdint>

#include <windows.h>

#include "platform/platform.h"

namespace zentrada::platform {

LocalTime FromSystemTime(const SYSTEMTIME& time);
// A file time (UTC) in local time, milliseconds kept.
LocalTime FileTimeToLocal(const FILETIME& utc);
// A file time in nanoseconds since 1601, as FileEntry::lastWriteNs holds it.
std::int64_t FileTimeNanoseconds(const FILETIME& time);

}  // namespace zentrada::platform
