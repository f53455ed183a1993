#include <gtest/gtest.h>

#include <filesystem>

#include "batch/messages.h"
#include "faults/fault_support.h"

// Windows lets no program rename over a file that another one has open, even for reading, so a file can
// be replaced under a run's copy on POSIX systems only.

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// The other program's file wins: the run publishes nothing for this path and says why it stopped.
TEST(FileReplacedWhileCopied, KeepsTheOtherProgramsFile) {
    RaceFolder race;
    const auto shown = RunWithRace(race, 2 * kMiB, [&] { ReplaceByRename(race.victim, "other"); });
    EXPECT_EQ(shown, std::vector<std::u16string>{FailureHead(race.VictimIndex(), race.victim) +
                                                 std::u16string(messages::kChangedMeanwhile)});
    EXPECT_EQ(ReadBytes(race.victim), "other");
    race.ExpectOthers(false);
    EXPECT_EQ(race.folder.Names(), (std::vector<std::u16string>{u"after.txt", u"before.txt", u"victim.txt"}));
}

}  // namespace
