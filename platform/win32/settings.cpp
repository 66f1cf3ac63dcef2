// The settings key, the auto-start value and the driver library's "Log"
// value in the registry. Keys are opened for reading only to load: an agent
// run by a user without administrator rights still reads the machine's
// settings, which opening with all access would refuse.
#include "platform/win32/registry_settings.h"

#include <utility>
#include <vector>

#include "platform/platform.h"

namespace zentrada::platform {
namespace {

// The auto-start data is built in a buffer of this size; a longer one is
// not written rather than written cut.
constexpr std::size_t kAutoStartBufferSize = 2048;

class Key {
public:
    Key() = default;
    ~Key() {
        if (key_ != nullptr) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    bool Open(HKEY root, const std::string& path, REGSAM access) {
        return RegOpenKeyExA(root, path.c_str(), 0, access, &key_) == ERROR_SUCCESS;
    }
    bool Create(HKEY root, const std::string& path) {
        return RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key_,
                               nullptr) == ERROR_SUCCESS;
    }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// A text value up to its first NUL, however long; nothing when unreadable.
bool ReadText(HKEY key, const char* name, std::string& text) {
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
    std::vector<char> data(size + 1, '\0');
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return false;
    data[size] = '\0';
    text = data.data();
    return true;
}

// One byte, any non-zero value on; a value of another size cannot be read
// into one byte and leaves the flag as it was.
void ReadFlag(HKEY key, const char* name, bool& flag) {
    BYTE byte = 0;
    DWORD size = 1;
    if (RegQueryValueExA(key, name, nullptr, nullptr, &byte, &size) == ERROR_SUCCESS && size == 1) flag = byte != 0;
}

bool WriteText(HKEY key, const char* name, const std::string& text) {
    // The byte count is the text's length: no terminating NUL is stored.
    // RegSetValueExA counts a NUL that follows the counted bytes as part of
    // the text, so the bytes are followed by something else.
    std::string data = text;
    data += '\x01';
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                          static_cast<DWORD>(text.size())) == ERROR_SUCCESS;
}

bool WriteFlag(HKEY key, const char* name, bool flag) {
    const BYTE byte = flag ? 1 : 0;
    return RegSetValueExA(key, name, 0, REG_BINARY, &byte, 1) == ERROR_SUCCESS;
}

// Read as one byte or as a DWORD, so an administrator may set it either way;
// a value that cannot be read leaves the flag as it was.
void ReadByteOrDword(HKEY key, const char* name, bool& flag) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
        size >= 1)
        flag = value != 0;
}

// A DWORD port number, 1 to 65535; anything else leaves the channel off.
void ReadPort(HKEY key, const char* name, std::uint16_t& port) {
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS) return;
    port = type == REG_DWORD && size == sizeof value && value <= 65535 ? static_cast<std::uint16_t>(value) : 0;
}

}  // namespace

StoredSettings LoadSettingsFrom(const RegistryPlace& place, StoredSettings defaults) {
    Key key;
    if (!key.Open(place.root, place.settingsKey, KEY_QUERY_VALUE)) return defaults;
    StoredSettings settings;
    ReadText(key.get(), kInputDirectoryValue, settings.inputDirectory);
    ReadText(key.get(), kOutputDirectoryValue, settings.outputDirectory);
    ReadFlag(key.get(), kShowTaskMsgsValue, settings.showTaskMsgs);
    ReadFlag(key.get(), kSimpleModeValue, settings.simpleMode);
    ReadByteOrDword(key.get(), kSyncRecordsValue, settings.syncRecords);
    ReadText(key.get(), kMetricsDirectoryValue, settings.metricsDirectory);
    ReadText(key.get(), kDataDirectoryValue, settings.dataDirectory);
    ReadPort(key.get(), kTcpPortValue, settings.tcpPort);
    ReadText(key.get(), kTcpAddressValue, settings.tcpAddress);
    ReadText(key.get(), kTcpTokenValue, settings.tcpToken);
    return settings;
}

bool LoadAutoStartFrom(const RegistryPlace& place) {
    Key key;
    if (!key.Open(place.root, place.runKey, KEY_QUERY_VALUE)) return true;
    return RegQueryValueExA(key.get(), kAutoStartValue, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool SaveSettingsTo(const RegistryPlace& place, const StoredSettings& settings, bool autoStart,
                    const std::string& executablePath) {
    bool ok = false;
    {
        Key key;
        if (key.Open(place.root, place.settingsKey, KEY_ALL_ACCESS) || key.Create(place.root, place.settingsKey)) {
            ok = WriteText(key.get(), kInputDirectoryValue, settings.inputDirectory);
            ok = WriteText(key.get(), kOutputDirectoryValue, settings.outputDirectory) && ok;
            ok = WriteFlag(key.get(), kShowTaskMsgsValue, settings.showTaskMsgs) && ok;
            ok = WriteFlag(key.get(), kSimpleModeValue, settings.simpleMode) && ok;
        }
    }
    Key run;
    if (!run.Open(place.root, place.runKey, KEY_SET_VALUE)) return false;
    if (!autoStart) {
        const LONG result = RegDeleteValueA(run.get(), kAutoStartValue);
        return (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) && ok;
    }
    const std::string data = "\"" + executablePath + "\" -start_minimized";
    if (executablePath.empty() || data.size() >= kAutoStartBufferSize) return false;
    return WriteText(run.get(), kAutoStartValue, data) && ok;
}

std::int32_t ReadDriverLogFrom(const RegistryPlace& place) {
    Key key;
    if (!key.Open(place.root, place.driverKey, KEY_QUERY_VALUE)) return 0;
    std::int32_t level = 0;
    DWORD size = sizeof level;
    if (RegQueryValueExA(key.get(), kDriverLogValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&level), &size) !=
        ERROR_SUCCESS)
        return 0;
    return level;
}

StoredSettings LoadSettings() {
    StoredSettings defaults;
    const std::string directory = ExecutableDirectory();
    if (!ExecutablePath().empty()) {
        defaults.inputDirectory = directory + "in";
        defaults.outputDirectory = directory + "out";
    }
    return LoadSettingsFrom(RegistryPlace{}, std::move(defaults));
}

bool LoadAutoStart() { return LoadAutoStartFrom(RegistryPlace{}); }

bool SaveSettings(const StoredSettings& settings, bool autoStart) {
    return SaveSettingsTo(RegistryPlace{}, settings, autoStart, ExecutablePath());
}

std::int32_t ReadDriverLogSetting() { return ReadDriverLogFrom(RegistryPlace{}); }

}  // namespace zentrada::platform
