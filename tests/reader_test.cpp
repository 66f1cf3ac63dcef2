#include <gtest/gtest.h>

#include "commands/command_row.h"
#include "engine/reader.h"
#include "engine/text_file.h"

namespace zentrada::engine {
namespace {

using commands::CommandLine;

CommandLine Parse(std::string_view line) {
    auto parsed = ParseCommandLine(line);
    return parsed ? *parsed : CommandLine{"<none>", {}};
}

TEST(SplitFieldTest, FieldsAreClosedBySeparators) {
    FieldCursor cursor{"A|B||C|"};
    std::vector<std::string> fields;
    while (auto field = SplitField(cursor, '|')) fields.emplace_back(*field);
    EXPECT_EQ(fields, (std::vector<std::string>{"A", "B", "", "C"}));

    FieldCursor single{"A"};
    EXPECT_EQ(SplitField(single, '|'), "A");
    EXPECT_FALSE(SplitField(single, '|'));

    FieldCursor empty{""};
    EXPECT_FALSE(SplitField(empty, '|'));
}

TEST(ParseCommandLineTest, TextAfterTheLastBarIsDropped) {
    EXPECT_EQ(Parse("NAME|A|B").params, std::vector<std::string>{"A"});
    EXPECT_TRUE(Parse("NAME").params.empty());
    EXPECT_TRUE(Parse("NAME|").params.empty());
    EXPECT_EQ(Parse("NAME").name, "NAME");
    EXPECT_EQ(Parse("NAME|A||").params, (std::vector<std::string>{"A", ""}));
}

TEST(ParseCommandLineTest, BlanksBelongToTheirFields) {
    const CommandLine line = Parse("NAME | A |");
    EXPECT_EQ(line.name, "NAME ");
    EXPECT_EQ(line.params, std::vector<std::string>{" A "});
    const CommandLine emptyName = Parse("|A|");
    EXPECT_EQ(emptyName.name, "");
    EXPECT_EQ(emptyName.params, std::vector<std::string>{"A"});
}

TEST(ParseCommandLineTest, AtMostThirtyParameters) {
    std::string line = "NAME|";
    for (int i = 1; i <= 35; ++i) line += std::to_string(i) + "|";
    const CommandLine parsed = Parse(line);
    ASSERT_EQ(parsed.ParamCount(), 30);
    EXPECT_EQ(parsed.params.back(), "30");
}

TEST(TextModeTest, CrLfPairsBecomeLineFeeds) {
    EXPECT_EQ(FoldTextMode("A\r\nB\r\n"), "A\nB\n");
    EXPECT_EQ(FoldTextMode("A\rB\r\r\n"), "A\rB\r\n");  // a lone CR stays
    EXPECT_EQ(FoldTextMode(".\r\n\x1Agarbage"), ".\n");  // Ctrl-Z ends the text
}

TEST(PieceReaderTest, LongLinesComeInPieces) {
    const std::string text = std::string(5, 'x') + "\nyz";
    PieceReader pieces(text);
    EXPECT_EQ(pieces.Next(3), "xxx");
    EXPECT_EQ(pieces.Next(3), "xx\n");
    EXPECT_EQ(pieces.Next(3), "yz");
    EXPECT_FALSE(pieces.Next(3));
}

TEST(PieceReaderTest, NulEndsThePieceText) {
    const std::string text("AB\0CD\nE", 7);
    PieceReader pieces(text);
    EXPECT_EQ(pieces.Next(100), "AB");
    EXPECT_EQ(pieces.Next(100), "E");
}

// Reads every command line with its line number.
std::vector<std::pair<int, CommandLine>> ReadAll(const std::string& text, FileOptions& options) {
    CommandFileReader reader(FoldTextMode(text));
    reader.ReadOptions(options);
    std::vector<std::pair<int, CommandLine>> lines;
    CommandLine line;
    while (reader.ReadNextCommandLine(line)) lines.emplace_back(reader.LineNumber(), line);
    EXPECT_EQ(line.name, "");
    return lines;
}

TEST(CommandFileReaderTest, OptionsInTheHeadBlockInAnyCase) {
    FileOptions options;
    const auto lines = ReadAll("/pre /nostop\r\n; comment\r\nCMD|A|\r\n.\r\n", options);
    EXPECT_TRUE(options.checkOnly);
    EXPECT_FALSE(options.stopOnError);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].first, 3);
    EXPECT_EQ(lines[0].second.name, "CMD");
    EXPECT_EQ(lines[1].first, 4);
    EXPECT_EQ(lines[1].second.name, ".");
}

TEST(CommandFileReaderTest, OptionsAfterTheBlockHaveNoEffect) {
    FileOptions afterCommand;
    ReadAll("CMD|\r\n/PRE\r\n.\r\n", afterCommand);
    EXPECT_FALSE(afterCommand.checkOnly);

    FileOptions afterEmptyLine;
    const auto lines = ReadAll("/PRE\r\n\r\n/NOSTOP\r\nCMD|\r\n.", afterEmptyLine);
    EXPECT_TRUE(afterEmptyLine.checkOnly);
    EXPECT_TRUE(afterEmptyLine.stopOnError);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].first, 4);
}

TEST(CommandFileReaderTest, SkippedLinesAreCounted) {
    FileOptions options;
    const auto lines = ReadAll("A|\r\n\r\n  ; note\r\n\t/PRE\r\nB|x|\r\n.", options);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].first, 1);
    EXPECT_EQ(lines[1].first, 5);
    EXPECT_EQ(lines[1].second.params, std::vector<std::string>{"x"});
    EXPECT_FALSE(options.checkOnly);
}

TEST(CommandFileReaderTest, RereadingNumbersLinesAlike) {
    CommandFileReader reader("/PRE\nA|\nB|\n.\n");
    FileOptions options;
    CommandLine line;
    reader.ReadOptions(options);
    while (reader.ReadNextCommandLine(line)) {
    }
    reader.ResetLineNumber();
    reader.ReadOptions(options);
    ASSERT_TRUE(reader.ReadNextCommandLine(line));
    EXPECT_EQ(line.name, "A");
    EXPECT_EQ(reader.LineNumber(), 2);
}

TEST(CommandFileReaderTest, OverlongLineContinuesAsFurtherLines) {
    const std::string longName(kCommandPieceChars + 10, 'N');
    FileOptions options;
    const auto lines = ReadAll(longName + "\r\n.\r\n", options);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].second.name.size(), kCommandPieceChars);
    EXPECT_EQ(lines[1].first, 2);
    EXPECT_EQ(lines[1].second.name, std::string(10, 'N'));
    EXPECT_EQ(lines[2].first, 3);
}

// Each command line is looked up once, as the file is read: it carries its
// catalogue entry, and with it the row that runs it.
TEST(CommandFileReaderTest, CommandLinesCarryTheirCatalogueEntry) {
    const CommandFile file = ReadCommandFile("/PRE\n; caixa\ntorva_display_enviar_texto|A|\nNOPE|\n. fim\n.\n");
    ASSERT_EQ(file.lines.size(), 6u);
    EXPECT_EQ(file.lines[0].text, "/PRE");
    EXPECT_EQ(file.lines[1].text, "; caixa");
    const FileLine& display = file.lines[2];
    ASSERT_NE(display.entry, nullptr);
    EXPECT_EQ(display.Code(), 900);
    ASSERT_NE(display.entry->row, nullptr);
    EXPECT_STREQ(display.entry->row->name, "TORVA_Display_Enviar_Texto");
    EXPECT_EQ(display.command.params, std::vector<std::string>{"A"});
    EXPECT_EQ(file.lines[3].entry, nullptr);
    EXPECT_EQ(file.lines[4].entry, nullptr);
    EXPECT_EQ(file.lines[5].Code(), commands::kEndMarkerCode);
    EXPECT_EQ(file.lines[5].entry->row, nullptr);
}

TEST(CommandFileReaderTest, BinaryGarbageNeverBreaksTheReader) {
    std::string garbage;
    for (int i = 0; i < 20000; ++i) garbage += static_cast<char>((i * 7919) % 256);
    FileOptions options;
    const auto lines = ReadAll(garbage, options);
    for (const auto& [number, line] : lines) {
        EXPECT_GT(number, 0);
        EXPECT_LE(line.ParamCount(), 30);
    }
}

}  // namespace
}  // namespace zentrada::engine
