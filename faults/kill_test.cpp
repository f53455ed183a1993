#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <thread>

#include "batch/messages.h"
#include "faults/fault_os.h"
#include "faults/fault_support.h"
#include "tests/test_folder.h"

namespace {

using namespace std::chrono_literals;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

std::vector<std::filesystem::path> Arguments(const TestFolder& folder, const std::filesystem::path& marker,
                                             std::uint64_t threshold, const char* mode) {
    return {folder.path(), marker, std::to_string(threshold), mode};
}

// Names and sizes of everything in the folder, for failure messages.
std::string Listing(const TestFolder& folder) {
    std::string text;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        text += entry.path().filename().string() + " (" + std::to_string(entry.file_size()) + " bytes) ";
    }
    return text;
}

// The killed process was part-way through a 200 MiB file: the original must be whole, and its half-written
// temporary file, which nothing removes after a kill, must stay out of every later run.
TEST(KilledRun, LeavesTheOriginalWholeAndItsTemporaryUncollected) {
    constexpr std::uint64_t kBigSize = 200 * kMiB;
    constexpr std::uint64_t kKilledAt = 96 * kMiB;
    TestFolder folder;
    TestFolder scratch;
    const auto big = folder / u"big.txt";
    WritePattern(big, kBigSize);
    folder.Write(u"small.txt", "small");
    const auto order = VisitOrder(folder.path());
    const bool small_first = order.front().filename() == u"small.txt";

    const auto marker = scratch / u"copied";
    ChildProcess child(HelperProgram("fault_rewriter"), Arguments(folder, marker, kKilledAt, "stall"));
    ASSERT_TRUE(WaitForMarker(marker, child, 300s)) << "the rewriting process never got far enough";
    child.Kill();
    child.Wait();

    EXPECT_TRUE(HoldsPattern(big, "", kBigSize, ""));
    EXPECT_EQ(folder.Read(u"small.txt"), small_first ? "HEAD\r\nsmall\r\nTAIL" : "small");
    const auto leftovers = Temporaries(folder.Names());
    ASSERT_EQ(leftovers.size(), 1u);
    const auto leftover = folder / leftovers[0];
    EXPECT_TRUE(
        leftovers[0].starts_with(u"~varnotta-" + std::filesystem::path(std::to_string(child.id())).u16string() + u"-"));
    EXPECT_GE(std::filesystem::file_size(leftover), kKilledAt) << "the kill did not come part-way through the copy";

    // A later run rewrites the files and passes over the leftover, which the user may still want.
    auto collected = VisitOrder(folder.path());
    std::sort(collected.begin(), collected.end());
    EXPECT_EQ(collected, (std::vector<std::filesystem::path>{big, folder / u"small.txt"}));
    const auto leftover_size = std::filesystem::file_size(leftover);
    const auto leftover_digest = DigestOf(leftover);
    RecordingView view(folder.path().u16string(), u"H", u"T");
    RunBatch(view);
    EXPECT_EQ(view.messages, std::vector<std::u16string>{std::u16string(messages::kTaskDone)});
    EXPECT_TRUE(HoldsPattern(big, "H\r\n", kBigSize, "\r\nT"));
    EXPECT_EQ(std::filesystem::file_size(leftover), leftover_size);
    EXPECT_EQ(DigestOf(leftover), leftover_digest);
    EXPECT_EQ(folder.Names(), (std::vector<std::u16string>{u"big.txt", u"small.txt", leftovers[0]}));
}

// How many times the random-moment test kills: a few in every test run, many more in tools/faults.
int KillRounds() {
    const char* rounds = std::getenv("VARNOTTA_KILL_ROUNDS");
    return rounds != nullptr && std::atoi(rounds) > 0 ? std::atoi(rounds) : 8;
}

// Killed at a moment the process does not choose: the file holds either all of its old content or all of
// the new, never a mixture or a cut.
TEST(KilledRun, AtAnyMomentLeavesOldOrNewContentWhole) {
    constexpr std::uint64_t kSize = 24 * kMiB;
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> delay_ms(0, 40);
    int old_seen = 0;
    int gaps = 0;
    int wine_leftovers = 0;
    const int rounds = KillRounds();
    for (int round = 0; round < rounds; ++round) {
        TestFolder folder;
        TestFolder scratch;
        const auto path = folder / u"f.txt";
        WritePattern(path, kSize);
        const auto marker = scratch / u"copied";
        ChildProcess child(HelperProgram("fault_rewriter"), Arguments(folder, marker, kMiB, "run-on"));
        ASSERT_TRUE(WaitForMarker(marker, child, 120s));
        std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms(random)));
        child.Kill();
        child.Wait();

        const auto names = NamesBesideWineLeftovers(folder.path(), wine_leftovers);
        const auto temporaries = Temporaries(names);
        if (!std::filesystem::exists(path)) {
            // Only Wine's two-step ReplaceFileW can leave this, killed between its steps: the new content
            // whole in our temporary file, and the old content whole in Wine's, if that is not deleted yet.
            ASSERT_TRUE(UnderWine()) << "round " << round << ": the file is gone; left: " << Listing(folder);
            ASSERT_EQ(temporaries.size(), 1u) << "round " << round << ": " << Listing(folder);
            EXPECT_TRUE(HoldsPattern(folder / temporaries[0], "HEAD\r\n", kSize, "\r\nTAIL")) << "round " << round;
            for (const auto& name : names) {
                if (name != temporaries[0]) {
                    EXPECT_TRUE(name.starts_with(u"rf") && name.ends_with(u".tmp")) << Listing(folder);
                    EXPECT_TRUE(HoldsPattern(folder / name, "", kSize, "")) << "round " << round;
                }
            }
            ++gaps;
            continue;
        }
        const bool old_content = std::filesystem::file_size(path) == kSize;
        old_seen += old_content ? 1 : 0;
        EXPECT_TRUE(old_content ? HoldsPattern(path, "", kSize, "") : HoldsPattern(path, "HEAD\r\n", kSize, "\r\nTAIL"))
            << "round " << round;
        EXPECT_EQ(temporaries.size(), old_content ? 1u : 0u) << "round " << round << ": " << Listing(folder);
        EXPECT_EQ(names.size(), 1 + temporaries.size()) << "round " << round << ": " << Listing(folder);
    }
    RecordProperty("rounds", rounds);
    RecordProperty("rounds_killed_before_the_replacement", old_seen);
    RecordProperty("rounds_killed_inside_wines_replacefile", gaps);
    RecordProperty("wine_replacefile_leftovers", wine_leftovers);
}

}  // namespace
