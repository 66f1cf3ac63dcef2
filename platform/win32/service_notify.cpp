#include "platform/platform.h"

namespace zentrada::platform {

void NotifyServiceManager(std::string_view) {}

std::chrono::milliseconds ServiceWatchdogInterval() { return std::chrono::milliseconds(0); }

}  // namespace zentrada::platform
