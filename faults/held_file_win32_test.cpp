#include <gtest/gtest.h>

#include <filesystem>

#include "batch/messages.h"
#include "faults/fault_os.h"
#include "faults/fault_support.h"
#include "tests/test_folder.h"

// Another process opens a file without sharing it. A short hold, like a virus scanner's, is waited out;
// one longer than the run's patience (about two seconds) stops the run with the file untouched.

namespace {

using namespace std::chrono_literals;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

struct Hold {
    const char* when;
    std::uint64_t at;     // bytes of the victim copied when the other process takes it
    const char* sharing;  // what the other process lets others do meanwhile
};

// While the run reads the file, only a holder that lets it read can open it; that holder still blocks the
// replacement, which needs the right to delete the old file.
const Hold kHolds[] = {{"held from before its turn", 0, "none"}, {"taken while it is copied", kMiB, "read"}};

// Starts the holder at the given point of the run and waits until it has the file.
std::vector<std::u16string> RunWhileHeld(RaceFolder& race, const Hold& hold, int milliseconds,
                                         std::optional<ChildProcess>& holder) {
    TestFolder scratch;
    const auto marker = scratch / u"holding";
    return RunWithRace(race, hold.at, [&] {
        holder.emplace(
            HelperProgram("fault_holder"),
            std::vector<std::filesystem::path>{race.victim, marker, std::to_string(milliseconds), hold.sharing});
        ASSERT_TRUE(WaitForMarker(marker, *holder, 60s)) << "the holder could not take the file";
    });
}

TEST(HeldFile, ShortHoldIsWaitedOut) {
    int wine_leftovers = 0;
    for (const auto& hold : kHolds) {
        SCOPED_TRACE(hold.when);
        RaceFolder race;
        std::optional<ChildProcess> holder;
        const auto shown = RunWhileHeld(race, hold, 500, holder);
        EXPECT_EQ(holder->Wait(), 0);
        EXPECT_EQ(shown, std::vector<std::u16string>{std::u16string(messages::kTaskDone)});
        EXPECT_TRUE(HoldsPattern(race.victim, "H\r\n", RaceFolder::kVictimSize, "\r\nT"));
        race.ExpectOthers(true);
        EXPECT_EQ(NamesBesideWineLeftovers(race.folder.path(), wine_leftovers),
                  (std::vector<std::u16string>{u"after.txt", u"before.txt", u"victim.txt"}));
    }
    RecordProperty("wine_replacefile_leftovers", wine_leftovers);
}

TEST(HeldFile, LongHoldStopsTheRunWithNothingLost) {
    int wine_leftovers = 0;
    for (const auto& hold : kHolds) {
        SCOPED_TRACE(hold.when);
        RaceFolder race;
        std::optional<ChildProcess> holder;
        const auto shown = RunWhileHeld(race, hold, 10000, holder);
        EXPECT_TRUE(holder->Running()) << "the hold ended before the run gave up";
        holder->Kill();
        ASSERT_EQ(shown.size(), 1u);
        const auto head = FailureHead(race.VictimIndex(), race.victim);
        EXPECT_TRUE(shown[0].starts_with(head)) << "stopped elsewhere";
        EXPECT_GT(shown[0].size(), head.size()) << "the reason is missing";
        EXPECT_TRUE(HoldsPattern(race.victim, "", RaceFolder::kVictimSize, ""));
        race.ExpectOthers(false);
        EXPECT_EQ(NamesBesideWineLeftovers(race.folder.path(), wine_leftovers),
                  (std::vector<std::u16string>{u"after.txt", u"before.txt", u"victim.txt"}));
    }
    RecordProperty("wine_replacefile_leftovers", wine_leftovers);
}

}  // namespace
