#include "platform/platform.h"
#include "platform/settings_store.h"

namespace zentrada::platform {

StoredSettings LoadSettings() {
    StoredSettings settings;
    settings.inputDirectory = ExecutableDirectory() + "in";
    settings.outputDirectory = ExecutableDirectory() + "out";
    return settings;
}

std::int32_t ReadDriverLogSetting() { return 0; }

}  // namespace zentrada::platform
