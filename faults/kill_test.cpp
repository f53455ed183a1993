#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <random>
#include <thread>

#include "batch/messages.h"
#include "faults/fault_support.h"

// Another process, fault_rewriter, runs the batch with head "HEAD" and tail "TAIL" and is killed part-way.

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Left {
    std::vector<std::u16string> names;        // of everything in the folder
    std::vector<std::u16string> temporaries;  // of the killed process's own: "~varnotta-<pid>-<n>.tmp"
};

// Starts the rewrite of `folder`, waits until `threshold` bytes of a file are copied and kills it then, or
// `delay` later while it runs on. Returns what it left in the folder.
Left KillRewrite(const TestFolder& folder, std::uint64_t threshold, std::optional<std::chrono::milliseconds> delay) {
    TestFolder scratch;
    const auto marker = scratch / u"copied";
    ChildProcess child(ProgramBeside("fault_rewriter"),
                       {folder.path(), marker, std::to_string(threshold), delay ? "run-on" : "stall"});
    EXPECT_TRUE(WaitForMarker(marker, child, 300s)) << "the rewriting process never got far enough";
    std::this_thread::sleep_for(delay.value_or(0ms));
    child.Kill();
    child.Wait();
    Left left{NamesIn(folder.path()), {}};
    const auto prefix = u"~varnotta-" + fs::path(std::to_string(child.id())).u16string() + u"-";
    std::copy_if(left.names.begin(), left.names.end(), std::back_inserter(left.temporaries),
                 [&](const std::u16string& name) { return name.starts_with(prefix) && name.ends_with(u".tmp"); });
    return left;
}

// Killed part-way through a 200 MiB file: the original is whole, and the half-written temporary file, which
// nothing removes after a kill, stays out of every later run.
TEST(KilledRun, LeavesTheOriginalWholeAndItsTemporaryUncollected) {
    constexpr std::uint64_t kBigSize = 200 * kMiB;
    constexpr std::uint64_t kKilledAt = 96 * kMiB;
    TestFolder folder;
    const auto big = folder / u"big.txt";
    WritePattern(big, kBigSize);
    const auto leftovers = KillRewrite(folder, kKilledAt, std::nullopt).temporaries;

    EXPECT_TRUE(HoldsPattern(big, "", kBigSize, ""));
    ASSERT_EQ(leftovers.size(), 1u);
    const auto leftover = folder / leftovers[0];
    const std::uint64_t copied = fs::file_size(leftover) - 6;  // after "HEAD\r\n"
    EXPECT_GE(copied, kKilledAt) << "the kill did not come part-way through the copy";
    EXPECT_TRUE(HoldsPattern(leftover, "HEAD\r\n", copied, ""));

    // A later run rewrites the file and passes over the leftover, which the user may still want.
    RecordingView view(folder.path().u16string(), u"H", u"T");
    RunBatch(view);
    EXPECT_EQ(view.messages, std::vector<std::u16string>{std::u16string(messages::kTaskDone)});
    EXPECT_TRUE(HoldsPattern(big, "H\r\n", kBigSize, "\r\nT"));
    EXPECT_TRUE(HoldsPattern(leftover, "HEAD\r\n", copied, ""));
    EXPECT_EQ(NamesIn(folder.path()), (std::vector<std::u16string>{u"big.txt", leftovers[0]}));
}

// How many times the random-moment test kills: a few in every test run, many more in tools/faults.
int KillRounds() {
    const char* rounds = std::getenv("VARNOTTA_KILL_ROUNDS");
    return rounds != nullptr && std::atoi(rounds) > 0 ? std::atoi(rounds) : 8;
}

// Killed at a moment it does not choose, the file holds all of its old content or all of the new, never a
// mixture or a cut.
TEST(KilledRun, AtAnyMomentLeavesOldOrNewContentWhole) {
    constexpr std::uint64_t kSize = 24 * kMiB;
    const auto old_content = [](const fs::path& path) { return HoldsPattern(path, "", kSize, ""); };
    const auto new_content = [](const fs::path& path) { return HoldsPattern(path, "HEAD\r\n", kSize, "\r\nTAIL"); };
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> delay_ms(0, 40);
    int before_the_replacement = 0;
    int before_the_old_file_went = 0;
    int inside_wines_replacefile = 0;
    const int rounds = KillRounds();
    for (int round = 0; round < rounds; ++round) {
        TestFolder folder;
        const auto path = folder / u"f.txt";
        WritePattern(path, kSize);
        const auto [names, temporaries] = KillRewrite(folder, kMiB, std::chrono::milliseconds(delay_ms(random)));
        SCOPED_TRACE("round " + std::to_string(round) + " left " + ::testing::PrintToString(names));

        if (!fs::exists(path)) {
            // Only Wine's four-step ReplaceFileW, killed between its steps, leaves this: the new content whole
            // in our temporary file, and the old whole in Wine's "rf" file if that is not deleted yet.
            ASSERT_TRUE(UnderWine());
            ASSERT_EQ(temporaries.size(), 1u);
            EXPECT_TRUE(new_content(folder / temporaries[0]));
            for (const auto& name : names) {
                EXPECT_TRUE(name == temporaries[0] || (name.starts_with(u"rf") && old_content(folder / name)));
            }
            ++inside_wines_replacefile;
            continue;
        }
        EXPECT_EQ(names.size(), 1 + temporaries.size());
        if (fs::file_size(path) == kSize) {
            // Killed before the replacement: the temporary file holds part of the new content.
            EXPECT_TRUE(old_content(path));
            EXPECT_EQ(temporaries.size(), 1u);
            ++before_the_replacement;
        } else {
            EXPECT_TRUE(new_content(path));
            // Killed between the exchange of the names and the removal of the old file (Linux): the
            // temporary file holds the old content whole.
            ASSERT_LE(temporaries.size(), 1u);
            if (!temporaries.empty()) {
                EXPECT_TRUE(old_content(folder / temporaries[0]));
                ++before_the_old_file_went;
            }
        }
    }
    RecordProperty("rounds", rounds);
    RecordProperty("killed_before_the_replacement", before_the_replacement);
    RecordProperty("killed_before_the_old_file_went", before_the_old_file_went);
    RecordProperty("killed_inside_wines_replacefile", inside_wines_replacefile);
}

}  // namespace
