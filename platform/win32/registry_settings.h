// The settings in the registry, for the places the tests choose as well as
// the machine's own keys under HKEY_LOCAL_MACHINE.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/settings_store.h"

namespace zentrada::platform {

struct RegistryPlace {
    HKEY root = HKEY_LOCAL_MACHINE;
    std::string settingsKey = "SOFTWARE\\TORVA\\Zentrada";
    std::string runKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    std::string driverKey = "SOFTWARE\\TORVA\\InterfaceTorva";
};

// The value names, spelled as stored ("SimgleMode" included).
inline constexpr char kInputDirectoryValue[] = "WorkDirectoryIn";
inline constexpr char kOutputDirectoryValue[] = "WorkDirectoryOut";
inline constexpr char kShowTaskMsgsValue[] = "ShowTaskMsgs";
inline constexpr char kSimpleModeValue[] = "SimgleMode";
inline constexpr char kSyncRecordsValue[] = "SyncRecords";
inline constexpr char kMetricsDirectoryValue[] = "MetricsDirectory";
inline constexpr char kDataDirectoryValue[] = "DataDirectory";
inline constexpr char kTcpPortValue[] = "TcpPort";        // REG_DWORD
inline constexpr char kTcpAddressValue[] = "TcpAddress";  // REG_SZ
inline constexpr char kTcpTokenValue[] = "TcpToken";      // REG_SZ
inline constexpr char kAutoStartValue[] = "Zentrada";
inline constexpr char kDriverLogValue[] = "Log";

// With the settings key present, each value that cannot be read is empty or
// off; without it, `defaults`. A directory is taken up to its first NUL and
// never cut, however long.
StoredSettings LoadSettingsFrom(const RegistryPlace& place, StoredSettings defaults);

// Whether the auto-start value exists; true when the Run key cannot be opened.
bool LoadAutoStartFrom(const RegistryPlace& place);

// Writes the four settings (creating the key when missing) and writes or
// deletes the auto-start value, "\"<executable>\" -start_minimized". False
// when something could not be written.
bool SaveSettingsTo(const RegistryPlace& place, const StoredSettings& settings, bool autoStart,
                    const std::string& executablePath);

// The driver library's "Log": 4 bytes taken as a 32-bit number whatever the
// value's type; 0 when the key or the value cannot be read.
std::int32_t ReadDriverLogFrom(const RegistryPlace& place);

// The machine's keys, in the registry view of this build: a 32-bit agent on
// 64-bit Windows sees them under SOFTWARE\WOW6432Node, as a 32-bit driver
// library and installer do.
bool LoadAutoStart();
bool SaveSettings(const StoredSettings& settings, bool autoStart);

}  // namespace zentrada::platform
