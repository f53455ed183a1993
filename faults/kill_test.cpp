#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <thread>

#include "tests/support/fault_support.h"

// Another process, fault_rewriter, runs the batch with head "HEAD" and tail "TAIL" and is killed part-way.

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Killed part-way, the file holds all of its old content or all of the new, never a mixture or a cut. Round 0
// stalls after 96 MiB of a 200 MiB file and is killed there: its half-written temporary file, which nothing
// removes after a kill, stays out of every later run. The other rounds run on and are killed 0-40 ms after
// the first 1 MiB of a 24 MiB file, at a moment they do not choose.
TEST(KilledRun, LeavesOldOrNewContentWholeAndItsTemporaryUncollected) {
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> delay_ms(0, 40);
    // How many times the test kills at a random moment: a few in every test run, many more in tools/faults.
    const char* asked = std::getenv("VARNOTTA_KILL_ROUNDS");
    const int rounds = asked != nullptr && std::atoi(asked) > 0 ? std::atoi(asked) : 8;
    for (int round = 0; round <= rounds; ++round) {
        const bool stall = round == 0;
        const std::uint64_t size = stall ? 200 * kMiB : 24 * kMiB;
        const auto old_content = [&](const fs::path& path) { return HoldsPattern(path, "", size, ""); };
        const auto new_content = [&](const fs::path& path) { return HoldsPattern(path, "HEAD\r\n", size, "\r\nTAIL"); };
        TestFolder folder;
        TestFolder scratch;
        const auto path = folder / u"f.txt";
        WritePattern(path, size);
        const auto marker = scratch / u"copied";
        ChildProcess child(
            ProgramBeside("fault_rewriter"),
            {folder.path(), marker, std::to_string(stall ? 96 * kMiB : kMiB), stall ? "stall" : "run-on"});
        EXPECT_TRUE(WaitForMarker(marker, child, 300s)) << "the rewriting process never got far enough";
        std::this_thread::sleep_for(stall ? 0ms : std::chrono::milliseconds(delay_ms(random)));
        child.Kill();
        child.Wait();
        const auto names = NamesIn(folder.path(), true);
        std::vector<std::u16string> temporaries;  // the killed process's own: "~varnotta-<pid>-<n>.tmp"
        const auto prefix = u"~varnotta-" + fs::path(std::to_string(child.id())).u16string() + u"-";
        std::copy_if(names.begin(), names.end(), std::back_inserter(temporaries),
                     [&](const std::u16string& name) { return name.starts_with(prefix) && name.ends_with(u".tmp"); });
        SCOPED_TRACE("round " + std::to_string(round) + " left " + ::testing::PrintToString(names));

        if (!fs::exists(path)) {
            // Only Wine's four-step ReplaceFileW, killed between its steps, leaves this: the new content whole
            // in our temporary file, and the old whole in Wine's "rf" file if that is not deleted yet.
            ASSERT_TRUE(UnderWine() && !stall);
            ASSERT_EQ(temporaries.size(), 1u);
            EXPECT_TRUE(new_content(folder / temporaries[0]));
            for (const auto& name : names) {
                EXPECT_TRUE(name == temporaries[0] || (name.starts_with(u"rf") && old_content(folder / name)));
            }
            continue;
        }
        EXPECT_EQ(names.size(), 1 + temporaries.size());
        if (fs::file_size(path) == size) {
            // Killed before the replacement: the temporary file holds part of the new content.
            EXPECT_TRUE(old_content(path));
            ASSERT_EQ(temporaries.size(), 1u);
            if (stall) {
                // The head and the copy so far. A later run rewrites the file and passes over the leftover,
                // which the user may still want.
                const auto leftover = folder / temporaries[0];
                const std::uint64_t copied = fs::file_size(leftover) - 6;  // after "HEAD\r\n"
                EXPECT_GE(copied, 96 * kMiB) << "the kill did not come part-way through the copy";
                EXPECT_TRUE(HoldsPattern(leftover, "HEAD\r\n", copied, ""));
                EXPECT_EQ(Rewrite(folder.path()), kDone);
                EXPECT_TRUE(HoldsPattern(path, "H\r\n", size, "\r\nT"));
                EXPECT_TRUE(HoldsPattern(leftover, "HEAD\r\n", copied, ""));
                EXPECT_EQ(NamesIn(folder.path(), true), names);
            }
        } else {
            EXPECT_TRUE(new_content(path));
            EXPECT_FALSE(stall);
            // Killed between the exchange of the names and the removal of the old file (Linux): the
            // temporary file holds the old content whole.
            ASSERT_LE(temporaries.size(), 1u);
            if (!temporaries.empty()) {
                EXPECT_TRUE(old_content(folder / temporaries[0]));
            }
        }
    }
}

}  // namespace
