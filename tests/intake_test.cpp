#include <gtest/gtest.h>

#include "engine/intake.h"

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
