#pragma once

#include <windows.h>

#include "platform/platform.h"

namespace zentrada::platform {

LocalTime FromSystemTime(const SYSTEMTIME& time);
// A file time (UTC) in local time, milliseconds kept.
LocalTime FileTimeToLocal(const FILETIME& utc);

}  // namespace zentrada::platform
