// The settings in the registry, in a key of the test's own under
// HKEY_CURRENT_USER laid out as the machine's keys are.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <tuple>

#include "platform/win32/registry_settings.h"
#include "test_files.h"

namespace zentrada::platform {
namespace {

auto Fields(const StoredSettings& s) {
    return std::tie(s.inputDirectory, s.outputDirectory, s.simpleMode, s.showTaskMsgs);
}

class RegistrySettings : public ::testing::Test {
protected:
    RegistrySettings() {
        place.root = HKEY_CURRENT_USER;
        place.settingsKey = base + "\\TORVA\\Zentrada";
        place.runKey = base + "\\Run";
        place.driverKey = base + "\\TORVA\\InterfaceTorva";
    }
    ~RegistrySettings() override { RegDeleteTreeA(HKEY_CURRENT_USER, base.c_str()); }

    void Set(const std::string& key, const char* name, DWORD type, const std::string& data) {
        HKEY handle = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &handle, nullptr));
        RegSetValueExA(handle, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size()));
        RegCloseKey(handle);
    }
    // The stored type and data of a value, texts as the cp1252 of the UTF-16
    // the registry holds; type 0 when it is missing.
    std::pair<DWORD, std::string> Get(const std::string& key, const char* name) {
        HKEY handle = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) return {0, ""};
        wchar_t wideName[64]{};
        MultiByteToWideChar(1252, 0, name, -1, wideName, 64);
        char data[8192];
        DWORD type = 0, size = sizeof data;
        const LONG result = RegQueryValueExW(handle, wideName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
        RegCloseKey(handle);
        if (result != ERROR_SUCCESS) return {0, ""};
        if (type != REG_SZ) return {type, std::string(data, size)};
        std::string text(size / 2, '\0');
        WideCharToMultiByte(1252, 0, reinterpret_cast<const wchar_t*>(data), static_cast<int>(size / 2), text.data(),
                            static_cast<int>(text.size()), nullptr, nullptr);
        return {type, text};
    }

    const std::string base = "Software\\ZentradaTest-" + std::to_string(testing::ProcessId());
    RegistryPlace place;
    const StoredSettings defaults{"C:\\Caixa\\in", "C:\\Caixa\\out", false, false};
};

using Value = std::pair<DWORD, std::string>;

TEST_F(RegistrySettings, LoadsDefaultsWithoutTheKeyAndEmptyOrOffForMissingValues) {
    EXPECT_EQ(Fields(defaults), Fields(LoadSettingsFrom(place, defaults)));
    EXPECT_EQ(0u, Get(place.settingsKey, kInputDirectoryValue).first);  // loading creates nothing

    Set(place.settingsKey, kOutputDirectoryValue, REG_SZ, "D:\\saida");
    EXPECT_EQ(Fields(StoredSettings{"", "D:\\saida", false, false}), Fields(LoadSettingsFrom(place, defaults)));

    // Any non-zero byte is on, whatever the type; a flag of another size
    // cannot be read into its byte and stays off.
    Set(place.settingsKey, kSimpleModeValue, REG_BINARY, "\x07");
    Set(place.settingsKey, kShowTaskMsgsValue, REG_DWORD, std::string("\x01\0\0\0", 4));
    EXPECT_EQ(Fields(StoredSettings{"", "D:\\saida", true, false}), Fields(LoadSettingsFrom(place, defaults)));
    Set(place.settingsKey, kSimpleModeValue, REG_BINARY, std::string(1, '\0'));
    EXPECT_FALSE(LoadSettingsFrom(place, defaults).simpleMode);
}

TEST_F(RegistrySettings, DirectoriesAreTakenToTheirFirstNulAndNeverCut) {
    Set(place.settingsKey, kInputDirectoryValue, REG_SZ, std::string("C:\\entrada\0lixo", 15));
    const std::string longDirectory = "C:\\" + std::string(300, 'x');
    Set(place.settingsKey, kOutputDirectoryValue, REG_EXPAND_SZ, longDirectory);
    Set(place.settingsKey, kMetricsDirectoryValue, REG_SZ, "C:\\metricas");
    const StoredSettings loaded = LoadSettingsFrom(place, defaults);
    EXPECT_EQ("C:\\entrada", loaded.inputDirectory);
    EXPECT_EQ(longDirectory, loaded.outputDirectory);
    EXPECT_EQ("C:\\metricas", loaded.metricsDirectory);
}

// TcpPort is a DWORD port number; anything else leaves the channel off.
TEST_F(RegistrySettings, TcpChannelSettings) {
    const std::pair<std::pair<DWORD, std::string>, std::uint16_t> ports[] = {
        {{REG_DWORD, std::string("\x8C\x23\0\0", 4)}, 9100},
        {{REG_DWORD, std::string("\0\0\x01\0", 4)}, 0},  // 65536
        {{REG_SZ, "9100"}, 0},
        {{REG_BINARY, std::string("\x8C\x23", 2)}, 0}};
    for (const auto& [value, port] : ports) {
        Set(place.settingsKey, kTcpPortValue, value.first, value.second);
        EXPECT_EQ(port, LoadSettingsFrom(place, defaults).tcpPort) << value.second;
    }
    Set(place.settingsKey, kTcpAddressValue, REG_SZ, "0.0.0.0");
    Set(place.settingsKey, kTcpTokenValue, REG_SZ, "segredo");
    EXPECT_EQ("0.0.0.0", LoadSettingsFrom(place, defaults).tcpAddress);
    EXPECT_EQ("segredo", LoadSettingsFrom(place, defaults).tcpToken);
}

TEST_F(RegistrySettings, SavesTextsWithoutNulFlagsAsOneByteAndTheAutoStartValue) {
    Set(place.runKey, "Outro", REG_SZ, "x");  // the Run key exists on every machine
    EXPECT_FALSE(LoadAutoStartFrom(place));
    const StoredSettings settings{"C:\\Caixa 2\\in\xE7", "", true, false};
    ASSERT_TRUE(SaveSettingsTo(place, settings, true, "C:\\Caixa 2\\Zentrada.exe"));

    EXPECT_EQ(Value(REG_SZ, "C:\\Caixa 2\\in\xE7"), Get(place.settingsKey, kInputDirectoryValue));
    EXPECT_EQ(Value(REG_SZ, ""), Get(place.settingsKey, kOutputDirectoryValue));
    EXPECT_EQ(Value(REG_BINARY, "\x01"), Get(place.settingsKey, kSimpleModeValue));
    EXPECT_EQ(Value(REG_BINARY, std::string(1, '\0')),
              Get(place.settingsKey, kShowTaskMsgsValue));
    EXPECT_EQ(Value(REG_SZ, "\"C:\\Caixa 2\\Zentrada.exe\" -start_minimized"),
              Get(place.runKey, kAutoStartValue));
    EXPECT_EQ(Fields(settings), Fields(LoadSettingsFrom(place, defaults)));
    EXPECT_TRUE(LoadAutoStartFrom(place));

    ASSERT_TRUE(SaveSettingsTo(place, settings, false, "C:\\Caixa 2\\Zentrada.exe"));
    EXPECT_EQ(0u, Get(place.runKey, kAutoStartValue).first);
    EXPECT_EQ(REG_SZ, Get(place.runKey, "Outro").first);
    // An auto-start text too long for its buffer is not written cut.
    EXPECT_FALSE(SaveSettingsTo(place, settings, true, "C:\\" + std::string(2100, 'x') + ".exe"));
    EXPECT_EQ(0u, Get(place.runKey, kAutoStartValue).first);

    // Without a Run key the box shows auto-start on.
    RegDeleteTreeA(HKEY_CURRENT_USER, place.runKey.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, place.runKey.c_str());
    EXPECT_TRUE(LoadAutoStartFrom(place));
}

TEST_F(RegistrySettings, DriverLogIsFourBytesWhateverTheTypeAndZeroWhenUnreadable) {
    EXPECT_EQ(0, ReadDriverLogFrom(place));
    for (const auto& [type, data, level] : {std::tuple<DWORD, std::string, int>{REG_DWORD, std::string("\x02\0\0\0", 4), 2},
                                            {REG_BINARY, std::string("\x01\0\0\0", 4), 1},
                                            {REG_BINARY, "\x01", 1},
                                            {REG_DWORD, std::string("\xD0\x07\0\0", 4), 2000},
                                            {REG_SZ, "2000", 0},  // five bytes with the NUL: too long
                                            {REG_SZ, "2", 50}}) {
        SCOPED_TRACE(level);
        Set(place.driverKey, kDriverLogValue, type, data);
        EXPECT_EQ(level, ReadDriverLogFrom(place));
    }
}

}  // namespace
}  // namespace zentrada::platform
