// The Windows Installer package's custom action (zentrada.wxs): what the
// installed agent's settings are now, read as the agent reads them, for an
// upgrade to keep. The installer's own registry search will not do: the
// agent stores its texts without a terminating NUL, and Wine's search reads
// past such a text's end.
#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <string>

#include "platform/win32/registry_settings.h"

namespace {

void SetProperty(MSIHANDLE install, const char* name, const std::string& value) {
    MsiSetPropertyA(install, name, value.c_str());
}

// Whether the auto-start value exists. (The panel takes a Run key it cannot
// open for auto-start on; here nothing is kept then.)
bool AutoStartValueExists(const zentrada::platform::RegistryPlace& place) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(place.root, place.runKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    const bool exists =
        RegQueryValueExA(key, zentrada::platform::kAutoStartValue, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return exists;
}

}  // namespace

// Sets, in the registry view of the package (this library's bitness):
//   PreviousInputDir, PreviousOutputDir  the directories, when not empty;
//   ShowTaskMsgsByte, SimpleModeByte     01 for a flag that is on;
//   PreviousAutoStart                    1 when the auto-start value exists.
// A property stays as it was when there is nothing to keep. Never fails.
extern "C" __declspec(dllexport) UINT __stdcall ReadSettings(MSIHANDLE install) {
    using namespace zentrada::platform;
    const RegistryPlace place;
    const StoredSettings settings = LoadSettingsFrom(place, StoredSettings{});
    if (!settings.inputDirectory.empty()) SetProperty(install, "PreviousInputDir", settings.inputDirectory);
    if (!settings.outputDirectory.empty()) SetProperty(install, "PreviousOutputDir", settings.outputDirectory);
    if (settings.showTaskMsgs) SetProperty(install, "ShowTaskMsgsByte", "01");
    if (settings.simpleMode) SetProperty(install, "SimpleModeByte", "01");
    if (AutoStartValueExists(place)) SetProperty(install, "PreviousAutoStart", "1");
    return ERROR_SUCCESS;
}
