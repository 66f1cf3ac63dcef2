// The README's command reference is written from the command tables; this
// keeps the two from drifting apart. tools/update-readme.sh rewrites it.
#include <gtest/gtest.h>

#include "commands/reference.h"
#include "test_files.h"

namespace zentrada::commands {
namespace {

TEST(ReadmeTest, CommandReferenceMatchesTheTables) {
    const std::string readme = testing::ReadBytes(README_PATH);
    const std::string begin = "<!-- commands:begin -->\n", end = "<!-- commands:end -->";
    const auto first = readme.find(begin);
    const auto last = readme.find(end);
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(last, std::string::npos);
    EXPECT_EQ(readme.substr(first + begin.size(), last - first - begin.size()), CommandReference())
        << "run tools/update-readme.sh";
}

}  // namespace
}  // namespace zentrada::commands
