// The settings files' text: zentrada.conf and the driver library's Log value.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "platform/posix/settings.h"

namespace zentrada::platform {
namespace {

StoredSettings Defaults(bool flags = false) {
    return StoredSettings{"/opt/caixa/in", "/opt/caixa/out", flags, flags};
}

auto Fields(const StoredSettings& s) {
    return std::tie(s.inputDirectory, s.outputDirectory, s.simpleMode, s.showTaskMsgs);
}

TEST(SettingsText, WhatTheTextLacksKeepsTheDefaults) {
    // Comments, lines without "=", unknown keys, the correct spelling of the
    // misspelt key and empty directories are all passed over.
    const std::string text =
        "# WorkDirectoryIn=/commented\n"
        "  #SimgleMode=1\n"
        "WorkDirectoryOut\n"
        "SimpleMode=1\n"
        "WorkDirectoryIn=\n"
        "WorkDirectoryOut=  \r\n";
    for (const bool flags : {false, true}) {
        EXPECT_EQ(Fields(Defaults(flags)), Fields(ParseSettingsText("", Defaults(flags))));
        EXPECT_EQ(Fields(Defaults(flags)), Fields(ParseSettingsText(text, Defaults(flags))));
    }
}

TEST(SettingsText, ReadsEveryKeyOfAWindowsStyleFileAndTakesValuesWhole) {
    const std::string longDirectory = "/srv/" + std::string(400, 'x');
    const std::string text =
        "# caixa 2\r\n"
        "WorkDirectoryIn=/srv/a b=c#d\r\n"
        "\r\n"
        "  workdirectoryout =  " + longDirectory + " \t\r\n"
        "SimgleMode=1\r\n"
        "SHOWTASKMSGS=1";  // no line end after the last line
    EXPECT_EQ(Fields(StoredSettings{"/srv/a b=c#d", longDirectory, true, true}),
              Fields(ParseSettingsText(text, Defaults())));
    EXPECT_EQ("/second", ParseSettingsText("WorkDirectoryIn=/first\nWorkDirectoryIn=/second\n", Defaults())
                             .inputDirectory);
    const StoredSettings placed =
        ParseSettingsText(text + "\nMetricsDirectory = /var/lib/node_exporter\r\nDataDirectory=/var/lib/zentrada\n",
                          Defaults());
    EXPECT_EQ("/var/lib/node_exporter", placed.metricsDirectory);
    EXPECT_EQ("/var/lib/zentrada", placed.dataDirectory);
    EXPECT_EQ("", ParseSettingsText(text, Defaults()).metricsDirectory);
}

// The channel is off unless TcpPort is a port number.
TEST(SettingsText, TcpChannelSettings) {
    const std::pair<const char*, std::uint16_t> ports[] = {
        {"", 0}, {"TcpPort=9100", 9100}, {"tcpport = 65535 \r\n", 65535}, {"TcpPort=65536", 0},
        {"TcpPort=-1", 0}, {"TcpPort=91x", 0}, {"TcpPort=", 0}, {"TcpPort=0", 0}};
    for (const auto& [text, port] : ports) EXPECT_EQ(port, ParseSettingsText(text, Defaults()).tcpPort) << text;
    const StoredSettings wide = ParseSettingsText("TcpAddress = 0.0.0.0\r\nTcpToken= a b#c \r\n", Defaults());
    EXPECT_EQ("0.0.0.0", wide.tcpAddress);
    EXPECT_EQ("a b#c", wide.tcpToken);
    EXPECT_EQ("", Defaults().tcpAddress);
}

TEST(SettingsText, FlagsAreOnForAnyNonZeroNumberAndKeepTheirDefaultOtherwise) {
    for (const char* on : {"1", "2", "-1", "+3", "007", "100000000000000000000000"}) {
        SCOPED_TRACE(on);
        EXPECT_TRUE(ParseSettingsText(std::string("SimgleMode=") + on, Defaults()).simpleMode);
        EXPECT_TRUE(ParseSettingsText(std::string("ShowTaskMsgs=") + on, Defaults()).showTaskMsgs);
    }
    for (const char* off : {"0", "00", "-0"}) {
        SCOPED_TRACE(off);
        EXPECT_FALSE(ParseSettingsText(std::string("SimgleMode=") + off, Defaults(true)).simpleMode);
    }
    for (const char* garbage : {"", "yes", "1x", "1 2", "-", "0x1"}) {
        SCOPED_TRACE(garbage);
        EXPECT_FALSE(ParseSettingsText(std::string("SimgleMode=") + garbage, Defaults()).simpleMode);
        EXPECT_TRUE(ParseSettingsText(std::string("SimgleMode=") + garbage, Defaults(true)).simpleMode);
    }
}

TEST(DriverLogSetting, ReadsTheLogLineAndCountsAnythingElseAsZero) {
    EXPECT_EQ(2, ParseDriverLogSetting("Log=2"));
    EXPECT_EQ(1, ParseDriverLogSetting("# driver\r\nPorta=COM1\r\n  log = 1 \r\n"));
    EXPECT_EQ(-7, ParseDriverLogSetting("Log=-7\n"));
    EXPECT_EQ(2147483647, ParseDriverLogSetting("Log=2147483647\n"));
    EXPECT_EQ(2, ParseDriverLogSetting("Log=1\nLog=2\n"));
    for (const char* text : {"", "Log=", "Log=abc", "Log=2x", "Log=1.5", "Log=2147483648", "# Log=2",
                             "LogLevel=2", "Log 2"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(0, ParseDriverLogSetting(text));
    }
}

}  // namespace
}  // namespace zentrada::platform
