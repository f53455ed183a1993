#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "batch/messages.h"
#include "tests/support/fault_support.h"
#include "platform/seam.h"

// Another program deletes, replaces, resizes, links, holds or write-protects a file while a run is under way,
// or the user stops the run. The test plays that program from the run's own progress reports, which come
// before each file and after each chunk (1 MiB) of a file's former content, so every race lands at the same
// point every time.

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kSize = 3 * kMiB + 17;  // the victim's, copied in four chunks
constexpr std::u16string_view kAnyReason = u"(the system's)";
constexpr std::u16string_view kNoMessage = u"(none: stopped by the user)";
constexpr std::u16string_view kUnflushed = u"(all done, the folder's flush failed)";

// A folder of 40 small files holding "small" and the victim holding the pattern, and one elsewhere for the
// other program. Which of the small files the run visits before the victim depends on the listing order,
// which the run's reports tell; those after it are prepared ahead while the victim is copied. Where the
// listing is sorted by name (Wine), the victim's name puts it halfway.
struct RaceFolder {
    RaceFolder() {
        for (char16_t i = 0; i < 40; ++i) {
            small.push_back(folder.Write(
                u"s" + std::u16string{char16_t(u'a' + i / 10), char16_t(u'0' + i % 10)} + u".txt", "small"));
        }
        WritePattern(victim, kSize);
    }

    TestFolder folder;
    TestFolder elsewhere;
    std::vector<fs::path> small;
    fs::path victim = folder / u"sc-victim.txt";
    std::vector<fs::path> visited;  // files in the order of the run's reports
    std::jthread holder;            // lets go of the file it holds when it ends
    std::stop_source stopper;       // the user's Exit
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
    std::optional<Content> victim;  // what the victim then holds, read through a link; nothing: it is gone
    std::string later = "small";    // what the small files after the victim hold once the other program acted
    bool kept_theirs = false;       // the other program's file stays beside it, under a temporary name
};

// What another program does when it saves a file safely: write a new file, then rename it over the old.
void Save(RaceFolder& race, const fs::path& path, const std::string& content) {
    WriteBytes(race.elsewhere / u"saved.new", content);
    fs::rename(race.elsewhere / u"saved.new", path);
}

// Does `write` to every small file after the victim, most of them prepared already.
auto ToEachAhead(std::function<void(RaceFolder&, const fs::path&)> write) {
    return [=](RaceFolder& race) {
        for (const auto& path : race.small) {
            if (std::find(race.visited.begin(), race.visited.end(), path) == race.visited.end()) {
                write(race, path);
            }
        }
    };
}

// Writes `content` into a file in place (the same file), as an editor that overwrites does, and moves its
// modification time on by `later`.
auto WriteInPlace(std::string content, std::int64_t later = 0) {
    return [=](RaceFolder&, const fs::path& path) {
        std::fstream(path, std::ios::binary | std::ios::in | std::ios::out) << content;
        SetWriteTime(path, WriteTimeOf(path) + later);
    };
}

auto ReplaceBy(std::string content) {
    return [=](RaceFolder& race) { Save(race, race.victim, content); };
}

#ifdef _WIN32
// The victim opened for `milliseconds` without sharing, as virus scanners and indexers do; Windows checks
// the sharing of every open the same way, whichever process holds it. While the run reads the file, only a
// holder that lets it read can open it; that one still blocks the replacement, which needs the right to
// delete the old file. A holder that appends opens the file as C's fopen("a") does and writes as it lets go.
auto Hold(int milliseconds, DWORD sharing, std::string appended = "") {
    return [=](RaceFolder& race) {
        const HANDLE held = CreateFileW(race.victim.c_str(), appended.empty() ? GENERIC_READ : FILE_APPEND_DATA,
                                        sharing, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE) << "the holder could not take the file";
        race.holder = std::jthread([=](std::stop_token stop) {
            std::mutex mutex;
            std::unique_lock lock(mutex);
            std::condition_variable_any().wait_for(lock, stop, std::chrono::milliseconds(milliseconds),
                                                   [] { return false; });
            DWORD written = 0;
            EXPECT_TRUE(appended.empty() ||
                        WriteFile(held, appended.data(), DWORD(appended.size()), &written, nullptr));
            CloseHandle(held);
        });
    };
}
#else
// From now on the platform layer's call `which` fails with `error`; at the exchange of the names the other
// program does `at_exchange` first.
auto FailFrom(platform::seam::Call which, int error, std::function<void(RaceFolder&)> at_exchange = nullptr) {
    return [=](RaceFolder& race) {
        platform::seam::before_call = [=, &race](platform::seam::Call call) {
            if (at_exchange && call == platform::seam::Call::ExchangeNames) {
                at_exchange(race);
            }
            return call == which ? error : 0;
        };
    };
}

// A symbolic link to a file elsewhere put in the victim's place in one step, as a program that swaps files would.
void SwapInLink(RaceFolder& race) {
    fs::create_symlink(race.elsewhere.Write(u"outside.txt", "outside"), race.folder / u"swap.link");
    fs::rename(race.folder / u"swap.link", race.victim);
}
#endif

const Content kOld{"", kSize, ""};
const Content kNew{"H\r\n", kSize, "\r\nT"};
const auto kAppend = [](RaceFolder& race) {
    std::ofstream(race.victim, std::ios::binary | std::ios::app) << "appended";
};
const auto kRemove = [](RaceFolder& race) { fs::remove(race.victim); };
// A second name, elsewhere: rewriting the file would give this name new content and leave the other the old.
const auto kHardLink = [](RaceFolder& race) { fs::create_hard_link(race.victim, race.elsewhere / u"other-name"); };

const Race kRaces[] = {
    {"deleted before its turn: skipped, not created again", 0, kRemove, u"", std::nullopt},
    {"replaced before its turn: the new file is rewritten", 0, ReplaceBy("other"), u"", Content{"H\r\nother\r\nT"}},
    {"deleted while copied", kMiB, kRemove, kAnyReason, std::nullopt},
    {"grown at the end while copied", kMiB, kAppend, messages::kChangedMeanwhile, Content{"", kSize, "appended"}},
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
    {"the files after it saved anew while it is copied, most of them prepared already: each rewritten as it is "
     "at its turn",
     kMiB, ToEachAhead([](RaceFolder& race, const fs::path& path) { Save(race, path, "other"); }), u"", kNew, "other"},
    {"the files after it written in place, longer, once prepared: each rewritten as it is at its turn", 3 * kMiB,
     ToEachAhead(WriteInPlace("small+")), u"", kNew, "small+"},
    {"the files after it written in place to the same size and time stamped later, once prepared: each rewritten "
     "as it is at its turn",
     3 * kMiB, ToEachAhead(WriteInPlace("SMALL", 10'000'000)), u"", kNew, "SMALL"},
    {"hard-linked before its turn", 0, kHardLink, messages::kHardLinked, kOld},
    {"hard-linked while copied", 2 * kMiB, kHardLink, messages::kChangedMeanwhile, kOld},
    {"made read-only before its turn", 0,
     [](RaceFolder& race) {
         fs::permissions(race.victim, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                         fs::perm_options::remove);
     },
     kAnyReason, kOld},
    {"the user stops the run while it is copied", kMiB, [](RaceFolder& race) { race.stopper.request_stop(); },
     kNoMessage, kOld},
#ifdef _WIN32
    // Windows lets no program rename over a file that another one has open; held files are waited for.
    {"held for 0.5 s from before its turn: waited out", 0, Hold(500, 0), u"", kNew},
    {"taken for 0.5 s while copied: waited out", kMiB, Hold(500, FILE_SHARE_READ), u"", kNew},
    {"held for 10 s from before its turn", 0, Hold(10000, 0), kAnyReason, kOld},
    {"taken for 10 s while copied", kMiB, Hold(10000, FILE_SHARE_READ), kAnyReason, kOld},
    {"held as fopen(\"a\") does while copied, a line appended as it lets go within the wait: the line is kept", kMiB,
     Hold(500, FILE_SHARE_READ | FILE_SHARE_WRITE, "appended"), messages::kChangedMeanwhile,
     Content{"", kSize, "appended"}},
#else
    {"replaced while copied: the other program's file is kept", 2 * kMiB, ReplaceBy("other"),
     messages::kChangedMeanwhile, Content{"other"}},
    {"symbolic link swapped in at its turn: skipped", 0, SwapInLink, u"", Content{"outside"}},
    {"symbolic link swapped in while copied", kMiB, SwapInLink, messages::kChangedMeanwhile, Content{"outside"}},
    {"the folder's flush fails after the run", 0, FailFrom(platform::seam::Call::SyncFolder, EIO), kUnflushed, kNew},
    {"the folder's file system cannot flush a folder", 0, FailFrom(platform::seam::Call::SyncFolder, EINVAL), u"",
     kNew},
    {"appended to at the exchange of names: given back", 0, FailFrom(platform::seam::Call::SwapBack, 0, kAppend),
     messages::kChangedMeanwhile, Content{"", kSize, "appended"}},
    {"appended to at the exchange of names, the swap back failing as the user stops: where the new content is, is "
     "told",
     0,
     FailFrom(platform::seam::Call::SwapBack, EPERM,
              [](RaceFolder& race) {
                  kAppend(race);
                  race.stopper.request_stop();
              }),
     kAnyReason, kNew, "small", true},
#endif
};

TEST(Races, TheOtherProgramsFileIsKeptAndNoCopyIsTorn) {
    for (const Race& race_case : kRaces) {
        SCOPED_TRACE(race_case.what);
        RaceFolder race;
        bool acted = false;
        int percent = 0;
        auto& visited = race.visited;
        const auto hook = [&](const BatchProgress& progress) {
            EXPECT_GE(PercentDone(progress), percent) << "the percentage done went back";
            percent = PercentDone(progress);
            if (visited.empty() || visited.back() != progress.current_file) {
                visited.push_back(progress.current_file);
            }
            if (!acted && progress.current_file == race.victim && progress.bytes_done == race_case.at) {
                acted = true;
                race_case.act(race);
            }
        };
        const auto message = Rewrite(race.folder.path(), hook, race.stopper.get_token());
        race.holder = std::jthread();
#ifndef _WIN32
        platform::seam::before_call = nullptr;
#endif

        EXPECT_TRUE(acted) << "the run never reached the point of the race";
        const auto turn = std::find(visited.begin(), visited.end(), race.victim);
        const bool went_on = race_case.reason.empty() || race_case.reason == kUnflushed;
        if (race_case.reason == kUnflushed) {
            EXPECT_EQ(message, std::u16string(messages::kUnflushedBefore) + u"41" +
                                   std::u16string(messages::kUnflushedAfter) + u"\r\n" +
                                   platform::PathText(race.folder.path()) + u"\r\n" + SystemText(EIO));
        } else if (went_on || race_case.reason == kNoMessage) {
            EXPECT_EQ(message, went_on ? kDone : std::nullopt);
        } else {
            EXPECT_TRUE(Stopped(message.value_or(u""), turn - visited.begin(), race.victim,
                                race_case.reason == kAnyReason ? u"" : race_case.reason));
        }
        std::vector<std::u16string> names;
        if (race_case.victim) {
            EXPECT_TRUE(
                HoldsPattern(race.victim, race_case.victim->before, race_case.victim->size, race_case.victim->after));
            names.push_back(race.victim.filename().u16string());
        } else {
            EXPECT_FALSE(fs::exists(fs::symlink_status(race.victim)));
        }
        for (const auto& other : race.small) {
            const bool before = std::find(visited.begin(), turn, other) != turn;
            const std::string content = before ? "small" : race_case.later;
            EXPECT_EQ(ReadBytes(other), went_on || before ? "H\r\n" + content + "\r\nT" : content) << other;
            names.push_back(other.filename().u16string());
        }
        std::sort(names.begin(), names.end());
        if (race_case.kept_theirs) {
            EXPECT_TRUE(
                message.value_or(u"").ends_with(std::u16string(messages::kKeptCopy) + platform::PathText(race.victim)));
        }
        auto left = NamesIn(race.folder.path());
        std::erase_if(left, [&](const auto& name) { return race_case.kept_theirs && name.starts_with(u"~varnotta-"); });
        EXPECT_EQ(left, names) << "a temporary file is left";
    }
}

}  // namespace
