#include <gtest/gtest.h>

#include <filesystem>

#include "batch/messages.h"
#include "faults/fault_support.h"
#include "tests/test_folder.h"

// A symbolic link is not a plain file: the run passes over it and never puts a regular file in its place,
// whether the link was there all along or another program swapped it in during the run.

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// Puts a link to `target` where `path` is, in one step, as a program that swaps files would.
void SwapInLink(const fs::path& path, const fs::path& target) {
    const auto side = path.parent_path() / u"swap.link";
    fs::create_symlink(target, side);
    fs::rename(side, path);
}

TEST(SymbolicLinks, AreSkippedAndStayLinks) {
    TestFolder folder;
    TestFolder elsewhere;
    const auto outside = elsewhere.Write(u"outside.txt", "outside");
    folder.Write(u"a.txt", "abc");
    fs::create_symlink("a.txt", folder / u"to-a.txt");
    fs::create_symlink(outside, folder / u"to-outside.txt");
    fs::create_symlink(folder / u"missing", folder / u"dangling.txt");

    RecordingView view(folder.path().u16string(), u"H", u"T");
    RunBatch(view);

    EXPECT_EQ(view.messages, std::vector<std::u16string>{std::u16string(messages::kTaskDone)});
    EXPECT_EQ(folder.Read(u"a.txt"), "H\r\nabc\r\nT") << "rewritten once, not again through its link";
    EXPECT_EQ(ReadBytes(outside), "outside");
    for (const auto& [link, target] : {std::pair{u"to-a.txt", fs::path("a.txt")}, std::pair{u"to-outside.txt", outside},
                                       std::pair{u"dangling.txt", folder / u"missing"}}) {
        EXPECT_TRUE(fs::is_symlink(folder / link)) << fs::path(link);
        EXPECT_EQ(fs::read_symlink(folder / link), target);
    }
    EXPECT_EQ(folder.Names(), (std::vector<std::u16string>{u"a.txt", u"dangling.txt", u"to-a.txt", u"to-outside.txt"}));
}

TEST(SymbolicLinks, SwappedInAtTheFilesTurnIsSkipped) {
    RaceFolder race;
    TestFolder elsewhere;
    const auto outside = elsewhere.Write(u"outside.txt", "outside");
    const auto shown = RunWithRace(race, 0, [&] { SwapInLink(race.victim, outside); });
    EXPECT_EQ(shown, std::vector<std::u16string>{std::u16string(messages::kTaskDone)});
    EXPECT_TRUE(fs::is_symlink(race.victim));
    EXPECT_EQ(ReadBytes(outside), "outside");
    race.ExpectOthers(true);
}

TEST(SymbolicLinks, SwappedInWhileCopiedStopsTheRunAndStays) {
    RaceFolder race;
    TestFolder elsewhere;
    const auto outside = elsewhere.Write(u"outside.txt", "outside");
    const auto shown = RunWithRace(race, kMiB, [&] { SwapInLink(race.victim, outside); });
    EXPECT_EQ(shown, std::vector<std::u16string>{FailureHead(race.VictimIndex(), race.victim) +
                                                 std::u16string(messages::kChangedMeanwhile)});
    EXPECT_TRUE(fs::is_symlink(race.victim));
    EXPECT_EQ(fs::read_symlink(race.victim), outside);
    EXPECT_EQ(ReadBytes(outside), "outside");
    race.ExpectOthers(false);
    EXPECT_EQ(race.folder.Names(), (std::vector<std::u16string>{u"after.txt", u"before.txt", u"victim.txt"}));
}

}  // namespace
