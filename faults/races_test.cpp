#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

#include "batch/messages.h"
#include "faults/fault_support.h"

// Another program deletes, replaces, resizes, links or holds a file while a run is under way. The test plays
// that program from the run's own progress reports, which come before each file and after each chunk (1 MiB)
// of a file's former content, so every race lands at the same point every time.

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::uint64_t kSize = 3 * kMiB + 17;  // the victim's, copied in four chunks
constexpr std::u16string_view kAnyReason = u"(the system's)";

// A folder of three files, "before.txt", "victim.txt" and "after.txt", and one elsewhere for the other
// program. The small files hold "small"; the victim holds the pattern. Which of the small files the run
// visits before the victim depends on the listing order.
struct RaceFolder {
    RaceFolder() {
        folder.Write(u"before.txt", "small");
        WritePattern(victim, kSize);
        folder.Write(u"after.txt", "small");
        order = VisitOrder(folder.path());
    }
    std::int64_t VictimIndex() const { return std::find(order.begin(), order.end(), victim) - order.begin(); }

    TestFolder folder;
    TestFolder elsewhere;
    fs::path victim = folder / u"victim.txt";
    std::vector<fs::path> order;
    fs::path link_target;                       // when the victim became a symbolic link
    std::optional<ChildProcess> other_program;  // when the other program is a process of its own
};

// What a file holds: `before`, the pattern of `size` bytes, `after`.
struct Content {
    Content(std::string before, std::uint64_t size = 0, std::string after = "")
        : before(std::move(before)), size(size), after(std::move(after)) {}
    std::string before;
    std::uint64_t size;
    std::string after;
};

struct Race {
    const char* what;
    std::uint64_t at;  // bytes of the victim copied when the other program acts; 0: at its turn, before any
    std::function<void(RaceFolder&)> act;
    std::u16string_view reason;     // why the run stops at the victim; empty: it completes
    std::optional<Content> victim;  // what the victim then holds (through a link); nothing: it is gone
};

// What another program does when it saves a file safely: write a new file, then rename it over the old.
auto ReplaceBy(std::string content) {
    return [=](RaceFolder& race) {
        WriteBytes(race.elsewhere / u"saved.new", content);
        fs::rename(race.elsewhere / u"saved.new", race.victim);
    };
}

#ifdef _WIN32
// Another process opens the victim for `milliseconds` without sharing it, as virus scanners and indexers
// do. While the run reads the file, only a holder that lets it read can open it; that one still blocks the
// replacement, which needs the right to delete the old file.
auto Hold(int milliseconds, const char* sharing) {
    return [=](RaceFolder& race) {
        const auto marker = race.elsewhere / u"holding";
        race.other_program.emplace(ProgramBeside("fault_holder"),
                                   std::vector<fs::path>{race.victim, marker, std::to_string(milliseconds), sharing});
        ASSERT_TRUE(WaitForMarker(marker, *race.other_program, 60s)) << "the holder could not take the file";
    };
}
#else
// A symbolic link to a file elsewhere put in the victim's place in one step, as a program that swaps files would.
void SwapInLink(RaceFolder& race) {
    race.link_target = race.elsewhere.Write(u"outside.txt", "outside");
    fs::create_symlink(race.link_target, race.folder / u"swap.link");
    fs::rename(race.folder / u"swap.link", race.victim);
}
#endif

const Content kOld{"", kSize, ""};
const Content kNew{"H\r\n", kSize, "\r\nT"};
const auto kRemove = [](RaceFolder& race) { fs::remove(race.victim); };
// A second name, elsewhere: rewriting the file would give this name new content and leave the other the old.
const auto kHardLink = [](RaceFolder& race) { fs::create_hard_link(race.victim, race.elsewhere / u"other-name"); };

const Race kRaces[] = {
    {"deleted before its turn: skipped, not created again", 0, kRemove, u"", std::nullopt},
    {"replaced before its turn: the new file is rewritten", 0, ReplaceBy("other"), u"", Content{"H\r\nother\r\nT"}},
    {"deleted while copied", kMiB, kRemove, kAnyReason, std::nullopt},
    {"grown at the end while copied", kMiB,
     [](RaceFolder& race) { std::ofstream(race.victim, std::ios::binary | std::ios::app) << "appended"; },
     messages::kChangedMeanwhile, Content{"", kSize, "appended"}},
    {"cut short while copied", kMiB, [](RaceFolder& race) { fs::resize_file(race.victim, kSize / 2); },
     messages::kChangedMeanwhile, Content{"", kSize / 2, ""}},
    {"emptied and written again to the same length, its time stamp put back", kMiB,
     [](RaceFolder& race) {
         const auto stamp = WriteTimeOf(race.victim);
         fs::resize_file(race.victim, 0);
         WriteBytes(race.victim, std::string(kSize, '#'));
         SetWriteTime(race.victim, stamp);
     },
     messages::kChangedMeanwhile, Content{std::string(kSize, '#')}},
    {"hard-linked before its turn", 0, kHardLink, messages::kHardLinked, kOld},
    {"hard-linked while copied", 2 * kMiB, kHardLink, messages::kChangedMeanwhile, kOld},
#ifdef _WIN32
    // Windows lets no program rename over a file that another one has open; held files are waited for.
    {"held for 0.5 s from before its turn: waited out", 0, Hold(500, "none"), u"", kNew},
    {"taken for 0.5 s while copied: waited out", kMiB, Hold(500, "read"), u"", kNew},
    {"held for 10 s from before its turn", 0, Hold(10000, "none"), kAnyReason, kOld},
    {"taken for 10 s while copied", kMiB, Hold(10000, "read"), kAnyReason, kOld},
#else
    {"replaced while copied: the other program's file is kept", 2 * kMiB, ReplaceBy("other"),
     messages::kChangedMeanwhile, Content{"other"}},
    {"symbolic link swapped in at its turn: skipped", 0, SwapInLink, u"", Content{"outside"}},
    {"symbolic link swapped in while copied", kMiB, SwapInLink, messages::kChangedMeanwhile, Content{"outside"}},
#endif
};

TEST(Races, TheOtherProgramsFileIsKeptAndNoCopyIsTorn) {
    for (const Race& race_case : kRaces) {
        SCOPED_TRACE(race_case.what);
        RaceFolder race;
        bool acted = false;
        HookedView view(race.folder.path().u16string(), u"H", u"T", [&](const BatchProgress& progress) {
            if (!acted && progress.current_file == race.victim && progress.bytes_done == race_case.at) {
                acted = true;
                race_case.act(race);
            }
        });
        RunBatch(view);
        race.other_program.reset();  // a holder lets go

        EXPECT_TRUE(acted) << "the run never reached the point of the race";
        const bool went_on = race_case.reason.empty();
        if (went_on) {
            EXPECT_EQ(view.messages, std::vector<std::u16string>{std::u16string(messages::kTaskDone)});
        } else {
            EXPECT_TRUE(Stopped(view.messages, race.VictimIndex(), race.victim,
                                race_case.reason == kAnyReason ? u"" : race_case.reason));
        }
        std::vector<std::u16string> names{u"after.txt", u"before.txt"};
        if (race_case.victim) {
            EXPECT_TRUE(
                HoldsPattern(race.victim, race_case.victim->before, race_case.victim->size, race_case.victim->after));
            names.push_back(u"victim.txt");
        } else {
            EXPECT_FALSE(fs::exists(fs::symlink_status(race.victim)));
        }
        if (!race.link_target.empty()) {
            EXPECT_EQ(fs::read_symlink(race.victim), race.link_target) << "a link stays the same link";
        }
        for (std::size_t i = 0; i < race.order.size(); ++i) {
            if (race.order[i] != race.victim) {
                const bool rewritten = went_on || static_cast<std::int64_t>(i) < race.VictimIndex();
                EXPECT_EQ(ReadBytes(race.order[i]), rewritten ? "H\r\nsmall\r\nT" : "small") << race.order[i];
            }
        }
        EXPECT_EQ(NamesIn(race.folder.path()), names);
    }
}

}  // namespace
