// The settings files' text: zentrada.conf and the driver library's Log value.
#include <gtest/gtest.h>

#include <string>

#include "platform/posix/settings.h"

namespace zentrada::platform {
namespace {

StoredSettings Defaults(bool flags = false) {
    StoredSettings defaults;
    defaults.inputDirectory = "/opt/caixa/in";
    defaults.outputDirectory = "/opt/caixa/out";
    defaults.simpleMode = flags;
    defaults.showTaskMsgs = flags;
    return defaults;
}

void ExpectSame(const StoredSettings& expected, const StoredSettings& actual) {
    EXPECT_EQ(expected.inputDirectory, actual.inputDirectory);
    EXPECT_EQ(expected.outputDirectory, actual.outputDirectory);
    EXPECT_EQ(expected.simpleMode, actual.simpleMode);
    EXPECT_EQ(expected.showTaskMsgs, actual.showTaskMsgs);
}

TEST(SettingsText, WhatTheTextLacksKeepsTheDefaults) {
    ExpectSame(Defaults(), ParseSettingsText("", Defaults()));
    ExpectSame(Defaults(true), ParseSettingsText("", Defaults(true)));
    // Comments, lines without "=", unknown keys and the misspelt key's
    // correct spelling are all ignored.
    const std::string text =
        "# WorkDirectoryIn=/commented\n"
        "  #SimgleMode=1\n"
        "WorkDirectoryOut\n"
        "SimpleMode=1\n"
        "Other=2\n";
    ExpectSame(Defaults(), ParseSettingsText(text, Defaults()));
}

TEST(SettingsText, ReadsEveryKeyFromAWindowsStyleFile) {
    const std::string text =
        "# caixa 2\r\n"
        "WorkDirectoryIn=/srv/pdv/entrada\r\n"
        "\r\n"
        "  WorkDirectoryOut =  /srv/pdv/saida \t\r\n"
        "SimgleMode=1\r\n"
        "ShowTaskMsgs=1";  // no line end after the last line
    const StoredSettings settings = ParseSettingsText(text, Defaults());
    EXPECT_EQ("/srv/pdv/entrada", settings.inputDirectory);
    EXPECT_EQ("/srv/pdv/saida", settings.outputDirectory);
    EXPECT_TRUE(settings.simpleMode);
    EXPECT_TRUE(settings.showTaskMsgs);
}

TEST(SettingsText, DirectoriesAreTakenWhole) {
    const std::string longDirectory = "/srv/" + std::string(400, 'x');
    const std::string text = "WorkDirectoryIn=/srv/a b=c#d\n"
                             "WorkDirectoryOut=" + longDirectory + "\n";
    const StoredSettings settings = ParseSettingsText(text, Defaults());
    EXPECT_EQ("/srv/a b=c#d", settings.inputDirectory);
    EXPECT_EQ(longDirectory, settings.outputDirectory);
}

TEST(SettingsText, EmptyDirectoryValueKeepsTheDefault) {
    const StoredSettings settings = ParseSettingsText("WorkDirectoryIn=\nWorkDirectoryOut=  \r\n", Defaults());
    EXPECT_EQ("/opt/caixa/in", settings.inputDirectory);
    EXPECT_EQ("/opt/caixa/out", settings.outputDirectory);
}

TEST(SettingsText, KeysIgnoreLetterCaseAndTheLastLineWins) {
    const StoredSettings settings = ParseSettingsText(
        "workdirectoryin=/first\nWORKDIRECTORYIN=/second\nsimglemode=1\nSimgleMode=0\n", Defaults());
    EXPECT_EQ("/second", settings.inputDirectory);
    EXPECT_FALSE(settings.simpleMode);
}

TEST(SettingsText, AnyNonZeroNumberTurnsAFlagOn) {
    for (const char* on : {"1", "2", "-1", "+3", "007", "100000000000000000000000"}) {
        SCOPED_TRACE(on);
        EXPECT_TRUE(ParseSettingsText(std::string("SimgleMode=") + on, Defaults()).simpleMode);
        EXPECT_TRUE(ParseSettingsText(std::string("ShowTaskMsgs=") + on, Defaults()).showTaskMsgs);
    }
    for (const char* off : {"0", "00", "-0"}) {
        SCOPED_TRACE(off);
        EXPECT_FALSE(ParseSettingsText(std::string("SimgleMode=") + off, Defaults(true)).simpleMode);
    }
}

TEST(SettingsText, AFlagThatIsNoNumberKeepsItsDefault) {
    for (const char* garbage : {"", "yes", "1x", "x1", "1 2", "-", "0x1"}) {
        SCOPED_TRACE(garbage);
        EXPECT_FALSE(ParseSettingsText(std::string("SimgleMode=") + garbage, Defaults()).simpleMode);
        EXPECT_TRUE(ParseSettingsText(std::string("SimgleMode=") + garbage, Defaults(true)).simpleMode);
    }
}

TEST(DriverLogSetting, ReadsTheLogLine) {
    EXPECT_EQ(2, ParseDriverLogSetting("Log=2"));
    EXPECT_EQ(1, ParseDriverLogSetting("# driver\r\nPorta=COM1\r\n  log = 1 \r\n"));
    EXPECT_EQ(-7, ParseDriverLogSetting("Log=-7\n"));
    EXPECT_EQ(2147483647, ParseDriverLogSetting("Log=2147483647\n"));
    EXPECT_EQ(2, ParseDriverLogSetting("Log=1\nLog=2\n"));
}

TEST(DriverLogSetting, MissingOrUnreadableIsZero) {
    for (const char* text : {"", "Log=", "Log=abc", "Log=2x", "Log=1.5", "Log=2147483648", "# Log=2",
                             "LogLevel=2", "Log 2"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(0, ParseDriverLogSetting(text));
    }
}

}  // namespace
}  // namespace zentrada::platform
