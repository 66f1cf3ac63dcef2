#include <gtest/gtest.h>

#include "engine/executed_files.h"
#include "engine/intake.h"
#include "engine/text_file.h"
#include "platform/file_system.h"
#include "tests/sim/memory_file_system.h"

#include <cstdio>
#include <map>
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

// Fed only the names of what changed, the intake takes what a full listing
// takes, whatever happens to the directory: files created, renamed in, out
// and within it, written with and without the marker, deleted, run and left
// or kept as undeletable, aged past abandonment, several in one instant,
// names notified for nothing, and notifications that overflow.
TEST(InputViewTest, TakesWhatAFullListingTakes) {
    testing::MemoryFileSystem fs;
    platform::ScopedFileSystem scoped(fs);
    const std::string in = "/in", aside = "/aside";
    for (const std::string& directory : {in, aside, std::string("/agent")}) fs.AddDirectory(directory);
    SharedState shared;
    const AgentLog log("/agent/log.txt");
    Intake view(shared, log, std::chrono::hours(1));  // lists only when the changes are incomplete
    Intake scan(shared, log);

    std::mt19937 random(20261209);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    const std::string names[] = {"A.FPI", "B.FPI", "c.fpi", "D.1.FPI", "E.FPI", "F.FPI", "G.FPI", "NOTAS.TXT"};
    const std::string texts[] = {"A|\r\n.\r\n", "A|\r\n", "", ".", "B|1|\r\n. fim\r\n", "C|\r\n.\r\n\r\n", "\r\n"};
    auto name = [&] { return names[pick(std::size(names))]; };
    auto text = [&] { return texts[pick(std::size(texts))]; };
    auto existing = [&](const std::string& directory) {
        const auto present = fs.Names(directory);
        return present.empty() ? name() : present[pick(present.size())];
    };
    using Listing = std::map<std::string, std::pair<std::uint64_t, std::int64_t>>;
    auto list = [&] {
        Listing files;
        for (const auto& entry : fs.ListFiles(in)) files[entry.name] = {entry.size, entry.lastWriteNs};
        return files;
    };
    auto describe = [](const std::optional<TakenFile>& file) {
        if (!file) return std::string("nothing");
        return file->name + " " + std::to_string(file->entry.size) + " " + std::to_string(file->entry.lastWriteNs) +
               " " + ::testing::PrintToString(file->text);
    };

    // One change of the directory, or of the files waiting aside, growing
    // older, to be renamed in.
    auto change = [&] {
        switch (pick(9)) {
        case 0:
            fs.Put(in + "/" + name(), text());
            break;
        case 1:
            fs.WriteFileBytes(in + "/" + name(), text(), false, false);
            break;
        case 2:
            fs.Put(aside + "/" + name(), text());
            break;
        case 3:
            fs.MoveFileReplacing(aside + "/" + existing(aside), in + "/" + name());
            break;
        case 4:
            fs.MoveFileReplacing(in + "/" + existing(in), pick(2) == 0 ? aside + "/" + name() : in + "/" + name());
            break;
        case 5:
            fs.RemoveFile(in + "/" + existing(in));
            break;
        case 6:
            fs.Advance(std::chrono::seconds(pick(200)));
            break;
        default:  // one instant: the names decide the order
            for (std::size_t i = pick(4); i > 0; --i) fs.Put(in + "/" + name(), text());
            break;
        }
    };

    constexpr int kSteps = 4000;
    int taken = 0, overflows = 0, movedAside = 0;
    Listing before = list();
    for (int step = 0; step < kSteps; ++step) {
        // A burst of changes overflows the notifications: their names are lost.
        const bool overflow = pick(10) == 0;
        overflows += overflow;
        for (int i = overflow ? 8 : 1; i > 0; --i) change();
        // What the notifications carry: every name whose file changed since
        // the last take, the agent's own moves and removals included.
        const Listing now = list();
        platform::DirectoryChanges changes{!overflow, {}};
        for (const auto& [file, state] : now) {
            if (!before.contains(file) || before.at(file) != state) changes.names.push_back(file);
            movedAside += !before.contains(file) && file.ends_with(".bad");
        }
        for (const auto& [file, state] : before) {
            if (!now.contains(file)) changes.names.push_back(file);
        }
        if (pick(4) == 0) changes.names.push_back(name());
        if (overflow) changes.names.clear();
        before = now;

        const auto fromView = view.NextFile(in, false, changes);
        const auto fromScan = scan.ScanInputDirectory(in, false);
        ASSERT_EQ(describe(fromView), describe(fromScan)) << "step " << step << "\n" << fs.Dump();
        if (!fromScan) continue;
        ++taken;
        switch (pick(3)) {
        case 0:
            fs.RemoveFile(in + "/" + fromScan->name);
            break;
        case 1:
            shared.RememberUndeletedFile(IdentityOf(in, fromScan->entry));
            break;
        default:  // its answer could not be written: taken again
            break;
        }
    }
    std::printf("view against listing: %d steps, %d files taken, %d overflows, %d moved aside\n", kSteps, taken,
                overflows, movedAside);
    EXPECT_GT(taken, kSteps / 10);
    EXPECT_GT(movedAside, 10);

    // A file nobody names is not seen before a listing: the names alone
    // feed the view.
    const std::vector<std::string> removed = fs.Names(in);
    for (const std::string& file : removed) fs.RemoveFile(in + "/" + file);
    EXPECT_FALSE(view.NextFile(in, false, {true, removed}));
    fs.Put(in + "/UNSEEN.FPI", "A|\r\n.\r\n");
    EXPECT_FALSE(view.NextFile(in, false, {true, {}}));
    EXPECT_EQ(describe(view.NextFile(in, false, {true, {"UNSEEN.FPI"}})), describe(scan.ScanInputDirectory(in, false)));
    // But a file about to be read is taken as it is now, even before its
    // name comes.
    fs.Advance(std::chrono::seconds(1));
    fs.Put(in + "/UNSEEN.FPI", "B|1|\r\n.\r\n");
    EXPECT_EQ(describe(view.NextFile(in, false, {true, {}})), describe(scan.ScanInputDirectory(in, false)));
}

}  // namespace
}  // namespace zentrada::engine
