#pragma once

#include <ctime>

#include "platform/platform.h"

namespace zentrada::platform {

LocalTime ToLocalTime(std::time_t seconds, long nanoseconds);

}  // namespace zentrada::platform
