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

}  // namespace zentrada::platform
