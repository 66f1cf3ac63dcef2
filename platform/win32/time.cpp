#include "platform/win32/time_convert.h"

namespace zentrada::platform {

LocalTime FromSystemTime(const SYSTEMTIME& time) {
    return LocalTime{time.wYear, time.wMonth,  time.wDay,         time.wHour,
                     time.wMinute, time.wSecond, time.wMilliseconds};
}

LocalTime FileTimeToLocal(const FILETIME& utc) {
    FILETIME local{};
    SYSTEMTIME parts{};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &parts)) return {};
    return FromSystemTime(parts);
}

LocalTime SystemNow() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return FromSystemTime(now);
}

std::int64_t FileTimeNanoseconds(const FILETIME& time) {
    ULARGE_INTEGER ticks{};
    ticks.LowPart = time.dwLowDateTime;
    ticks.HighPart = time.dwHighDateTime;
    return static_cast<std::int64_t>(ticks.QuadPart) * 100;
}

LocalTime UnixTimeToLocal(std::int64_t seconds) {
    // File times count 100 ns steps from 1601, 11644473600 s before 1970.
    ULARGE_INTEGER ticks{};
    ticks.QuadPart = static_cast<ULONGLONG>(seconds + 11644473600LL) * 10'000'000ULL;
    FILETIME time{ticks.LowPart, ticks.HighPart};
    return FileTimeToLocal(time);
}

std::int64_t FileClockNow() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return FileTimeNanoseconds(now);
}

}  // namespace zentrada::platform
