#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "batch/messages.h"
#include "faults/fault_os.h"
#include "faults/fault_support.h"
#include "platform/file_system.h"
#include "tests/test_folder.h"

// Another program deletes, replaces, resizes or links a file while a run is under way. The test plays
// that program from the run's own progress reports, which come before each file and after each chunk
// (1 MiB) of a file's former content, so every race lands at the same point every time.

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kVictimSize = RaceFolder::kVictimSize;

TEST(FileGoneBeforeItsTurn, IsSkippedSilentlyAndNotCreatedAgain) {
    RaceFolder race;
    const auto shown = RunWithRace(race, 0, [&] { fs::remove(race.victim); });
    EXPECT_EQ(shown, std::vector<std::u16string>{std::u16string(messages::kTaskDone)});
    EXPECT_FALSE(fs::exists(race.victim));
    race.ExpectOthers(true);
    EXPECT_EQ(race.folder.Names(), (std::vector<std::u16string>{u"after.txt", u"before.txt"}));
}

// At its turn the path names the other program's file, which is what the run then rewrites.
TEST(FileReplacedBeforeItsTurn, IsTheOneRewritten) {
    RaceFolder race;
    const auto shown = RunWithRace(race, 0, [&] { ReplaceByRename(race.victim, "other"); });
    EXPECT_EQ(shown, std::vector<std::u16string>{std::u16string(messages::kTaskDone)});
    EXPECT_EQ(ReadBytes(race.victim), "H\r\nother\r\nT");
    race.ExpectOthers(true);
    EXPECT_EQ(race.folder.Names(), (std::vector<std::u16string>{u"after.txt", u"before.txt", u"victim.txt"}));
}

TEST(FileDeletedWhileCopied, StopsTheRunAndIsNotCreatedAgain) {
    RaceFolder race;
    const auto shown = RunWithRace(race, kMiB, [&] { fs::remove(race.victim); });
    ASSERT_EQ(shown.size(), 1u);
    const auto head = FailureHead(race.VictimIndex(), race.victim);
    EXPECT_TRUE(shown[0].starts_with(head));
    EXPECT_GT(shown[0].size(), head.size()) << "the reason is missing";
    EXPECT_FALSE(fs::exists(race.victim));
    race.ExpectOthers(false);
    EXPECT_EQ(race.folder.Names(), (std::vector<std::u16string>{u"after.txt", u"before.txt"}));
}

struct Resize {
    const char* name;
    std::function<void(const fs::path&)> act;
    std::function<::testing::AssertionResult(const fs::path&)> left_by_other_program;
};

// However the length changes under the copy, the copy is not published and the file keeps what the other
// program wrote.
TEST(FileResizedWhileCopied, PublishesNoTornCopy) {
    const std::vector<Resize> resizes{
        {"grown at the end",
         [](const fs::path& path) { std::ofstream(path, std::ios::binary | std::ios::app) << "appended"; },
         [](const fs::path& path) { return HoldsPattern(path, "", kVictimSize, "appended"); }},
        {"cut short", [](const fs::path& path) { fs::resize_file(path, kVictimSize / 2); },
         [](const fs::path& path) { return HoldsPattern(path, "", kVictimSize / 2, ""); }},
        {"emptied and written again to the same length with its time stamp put back",
         [](const fs::path& path) {
             const auto stamp = WriteTimeOf(path);
             fs::resize_file(path, 0);
             WriteBytes(path, std::string(kVictimSize, '#'));
             SetWriteTime(path, stamp);
         },
         [](const fs::path& path) {
             return ReadBytes(path) == std::string(kVictimSize, '#') ? ::testing::AssertionSuccess()
                                                                     : ::testing::AssertionFailure() << "changed";
         }},
    };
    for (const auto& resize : resizes) {
        SCOPED_TRACE(resize.name);
        RaceFolder race;
        const auto shown = RunWithRace(race, kMiB, [&] { resize.act(race.victim); });
        EXPECT_EQ(shown, std::vector<std::u16string>{FailureHead(race.VictimIndex(), race.victim) +
                                                     std::u16string(messages::kChangedMeanwhile)});
        EXPECT_TRUE(resize.left_by_other_program(race.victim));
        race.ExpectOthers(false);
        EXPECT_EQ(race.folder.Names(), (std::vector<std::u16string>{u"after.txt", u"before.txt", u"victim.txt"}));
    }
}

// Rewriting a file that has other names would give this name new content and leave the others with the
// old: the file is refused, whether it had its second name all along or got it during the copy.
TEST(HardLinkedFile, IsNeverSplit) {
    for (const std::uint64_t linked_at : {std::uint64_t{0}, 2 * kMiB}) {
        SCOPED_TRACE(linked_at == 0 ? "linked before its turn" : "linked while copied");
        RaceFolder race;
        const auto other_name = race.folder / u"other-name.dat";
        const auto shown = RunWithRace(race, linked_at, [&] { fs::create_hard_link(race.victim, other_name); });
        const auto reason = linked_at == 0 ? messages::kHardLinked : messages::kChangedMeanwhile;
        EXPECT_EQ(shown,
                  std::vector<std::u16string>{FailureHead(race.VictimIndex(), race.victim) + std::u16string(reason)});
        EXPECT_TRUE(HoldsPattern(race.victim, "", kVictimSize, ""));
        EXPECT_EQ(platform::StampOf(race.victim).value().links, 2u);
        EXPECT_TRUE(fs::equivalent(race.victim, other_name));
        race.ExpectOthers(false);
        EXPECT_EQ(race.folder.Names(),
                  (std::vector<std::u16string>{u"after.txt", u"before.txt", u"other-name.dat", u"victim.txt"}));
    }
}

}  // namespace
