#include <time.h>

#include <climits>

#include "platform/posix/time_convert.h"

namespace zentrada::platform {

LocalTime ToLocalTime(std::time_t seconds, long nanoseconds) {
    struct tm parts {};
    // A year past what an int holds once 1900 is added reads as no time.
    if (localtime_r(&seconds, &parts) == nullptr || parts.tm_year > INT_MAX - 1900) return {};
    return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                     parts.tm_min,         parts.tm_sec,     static_cast<int>(nanoseconds / 1'000'000)};
}

LocalTime SystemNow() {
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return ToLocalTime(now.tv_sec, now.tv_nsec);
}

LocalTime UnixTimeToLocal(std::int64_t seconds) { return ToLocalTime(static_cast<std::time_t>(seconds), 0); }

std::int64_t FileClockNow() {
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

}  // namespace zentrada::platform
