#include <gtest/gtest.h>

#include "engine/intake.h"
#include "engine/text_file.h"

#include <random>

namespace zentrada::engine {
namespace {

using platform::LocalTime;

TEST(EndMarkerTest, LastLineCutAtItsFirstBlankMustBeADot) {
    EXPECT_TRUE(HasEndMarker("A|\n."));
    EXPECT_TRUE(HasEndMarker("A|\n.\n"));
    EXPECT_TRUE(HasEndMarker("A|\n. fim\n"));
    EXPECT_TRUE(HasEndMarker("A|\n.   \n"));
    EXPECT_FALSE(HasEndMarker("A|\n.\n\n"));  // an empty line after the marker
    EXPECT_FALSE(HasEndMarker("A|\n .\n"));
    EXPECT_FALSE(HasEndMarker("A|\n..\n"));
    EXPECT_FALSE(HasEndMarker(""));
    EXPECT_FALSE(HasEndMarker(".\t\n"));
}

// Reading only the file's end must give the verdict of reading it whole, on
// files built to put every hard case at the read boundaries: long last lines
// around the 2999-character pieces, CR LF split across 64 KiB reads, Ctrl-Z
// and NUL anywhere, a final line feed or none.
TEST(EndMarkerTest, ReadingTheEndOnlyGivesTheWholeFilesVerdict) {
    std::mt19937 random(20261208);
    const std::string atoms[] = {".", ". fim", "A|1|", "\r\n", "\n", "\r", "\x1A", std::string(1, '\0'), " ", "."};
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        const std::size_t parts = pick(8);
        for (std::size_t i = 0; i < parts; ++i) bytes += atoms[pick(std::size(atoms))];
        // A long run placed to end near a piece or read boundary.
        if (pick(2) == 0) {
            const std::size_t lengths[] = {2997, 2998, 2999, 3000, 5998, 65534, 65535, 65536, 131071};
            bytes += std::string(lengths[pick(std::size(lengths))] - bytes.size() % 7, 'x');
        }
        const std::size_t tailParts = pick(5);
        for (std::size_t i = 0; i < tailParts; ++i) bytes += atoms[pick(std::size(atoms))];
        const ReadRange read = [&bytes](std::uint64_t offset, std::size_t count) -> std::optional<std::string> {
            if (offset > bytes.size()) return std::string();
            return bytes.substr(static_cast<std::size_t>(offset), count);
        };
        ASSERT_EQ(EndsWithMarker(bytes.size(), read), HasEndMarker(FoldTextMode(bytes)))
            << "round " << round << ", " << bytes.size() << " bytes ending "
            << ::testing::PrintToString(bytes.substr(bytes.size() > 40 ? bytes.size() - 40 : 0));
    }
    // A CR LF split by the first read from the end, and a Ctrl-Z right after
    // the marker's line.
    for (const std::string& bytes : {std::string(65535 - 3, 'x') + "\n.\r\n", std::string(70000, 'y') + "\r\n.\r",
                                     std::string(".\r\n\x1A") + std::string(70000, 'z'), std::string()}) {
        const ReadRange read = [&bytes](std::uint64_t offset, std::size_t count) -> std::optional<std::string> {
            return bytes.substr(static_cast<std::size_t>(offset), count);
        };
        EXPECT_EQ(EndsWithMarker(bytes.size(), read), HasEndMarker(FoldTextMode(bytes))) << bytes.size();
    }
}

TEST(CommandFileNameTest, ExtensionMustBeFpiInAnyCase) {
    EXPECT_TRUE(IsCommandFileName("VENDA.FPI", false));
    EXPECT_TRUE(IsCommandFileName("venda.fpi", false));
    EXPECT_FALSE(IsCommandFileName("VENDA.FPIX", false));
    EXPECT_FALSE(IsCommandFileName("VENDA.FP", false));
    EXPECT_TRUE(IsCommandFileName(".FPI", false));
    EXPECT_FALSE(IsCommandFileName("", false));
}

TEST(CommandFileNameTest, SimplifiedModeTakesOnlyComandoFpi) {
    EXPECT_TRUE(IsCommandFileName("COMANDO.FPI", true));
    EXPECT_TRUE(IsCommandFileName("comando.Fpi", true));
    EXPECT_FALSE(IsCommandFileName("OUTRO.FPI", true));
    EXPECT_FALSE(IsCommandFileName("XCOMANDO.FPI", true));
}

TEST(AbandonedNameTest, CarriesTheLastWriteTime) {
    const LocalTime written{2026, 12, 6, 5, 22, 33, 123};
    EXPECT_EQ(AbandonedName("VENDA.FPI", written), "VENDA_20261206052233000123.bad");
    EXPECT_EQ(AbandonedName("VENDA.1.FPI", written), "VENDA_20261206052233000123.bad");
    EXPECT_EQ(AbandonedName("..VENDA.FPI", written), "..VENDA_20261206052233000123.bad");
    EXPECT_EQ(AbandonedName("NOEXT", written), "NOEXT_20261206052233000123.bad");
}

TEST(AbandonedTest, MoreThanTwoWholeMinutes) {
    const LocalTime written{2026, 12, 6, 23, 58, 59, 999};
    EXPECT_FALSE(IsAbandoned({2026, 12, 7, 0, 0, 0, 0}, written));   // 2 minutes by the clock
    EXPECT_TRUE(IsAbandoned({2026, 12, 7, 0, 1, 0, 0}, written));    // 3, across midnight
    EXPECT_TRUE(IsAbandoned({2027, 1, 1, 0, 0, 0, 0}, {2026, 12, 31, 23, 57, 0, 0}));
    EXPECT_FALSE(IsAbandoned({2026, 12, 6, 10, 0, 0, 0}, {2026, 12, 6, 11, 0, 0, 0}));  // future
}

TEST(NamesTest, BaseNameAndStamp) {
    EXPECT_EQ(BaseName("VENDA.FPI"), "VENDA");
    EXPECT_EQ(BaseName("VENDA.1.FPI"), "VENDA.1");
    EXPECT_EQ(FormatStamp({2026, 12, 6, 5, 22, 33, 0}), "20261206_052233");
}

}  // namespace
}  // namespace zentrada::engine
