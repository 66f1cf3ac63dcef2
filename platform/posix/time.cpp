#include <time.h>

#include "platform/posix/time_convert.h"

namespace zentrada::platform {

LocalTime ToLocalTime(std::time_t seconds, long nanoseconds) {
    struct tm parts {};
    if (localtime_r(&seconds, &parts) == nullptr) return {};
    return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                     parts.tm_min,         parts.tm_sec,     static_cast<int>(nanoseconds / 1'000'000)};
}

LocalTime Now() {
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return ToLocalTime(now.tv_sec, now.tv_nsec);
}

}  // namespace zentrada::platform
