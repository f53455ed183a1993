#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/batch_run.h"
#include "tests/recording_view.h"
#include "tests/test_folder.h"

// A recording view that lets a test act as "another program" at exact points of a run: before each file
// and after each chunk of a file's former content is copied.
class HookedView : public RecordingView {
  public:
    using Hook = std::function<void(const BatchProgress&)>;

    HookedView(std::u16string folder, std::u16string head, std::u16string tail, Hook hook)
        : RecordingView(std::move(folder), std::move(head), std::move(tail)), hook_(std::move(hook)) {}

    void ReportProgress(const BatchProgress& progress) override { hook_(progress); }

  private:
    Hook hook_;
};

// What another program does when it saves a file safely: write a new file, then rename it over the old.
void ReplaceByRename(const std::filesystem::path& path, std::string_view content);

// The first line and the path line of the box that reports a run stopped after `files_done` files.
std::u16string FailureHead(std::int64_t files_done, const std::filesystem::path& where);

// Text of `size` bytes, different at every offset, generated on the fly so that big files need no memory.
void WritePattern(const std::filesystem::path& path, std::uint64_t size);
// Whether the file holds exactly `before`, the pattern of `size` bytes and `after`; says where it differs.
::testing::AssertionResult HoldsPattern(const std::filesystem::path& path, std::string_view before, std::uint64_t size,
                                        std::string_view after);

// A 64-bit FNV-1a digest of a whole file, read in pieces.
std::uint64_t DigestOf(const std::filesystem::path& path);

// Entry names in `names` that a rewrite would leave behind: "~varnotta-<pid>-<n>.tmp".
std::vector<std::u16string> Temporaries(const std::vector<std::u16string>& names);

// The names of all entries in `folder`, sorted.
std::vector<std::u16string> NamesIn(const std::filesystem::path& folder);
// The same, less the empty "rf<hex>.tmp" files that Wine's ReplaceFileW leaves behind when it fails or is
// killed (see UnderWine), which hold nothing of the user's; adds their number to `wine_leftovers`.
std::vector<std::u16string> NamesBesideWineLeftovers(const std::filesystem::path& folder, int& wine_leftovers);

// The paths of the ".txt" files in the order a run visits them.
std::vector<std::filesystem::path> VisitOrder(const std::filesystem::path& folder);

// A folder of three files, "before.txt", "victim.txt" and "after.txt", for runs in which another program
// goes for the victim. The small files hold "small"; the victim holds the pattern and is copied in four
// chunks. Which of the small files the run visits before the victim depends on the listing order.
struct RaceFolder {
    static constexpr std::uint64_t kVictimSize = (std::uint64_t{3} << 20) + 17;

    RaceFolder();

    std::int64_t VictimIndex() const;
    // Checks the small files: rewritten with head "H" and tail "T" when visited before the victim, or all
    // of them when the run went on past it; untouched otherwise.
    void ExpectOthers(bool run_went_on) const;

    TestFolder folder;
    std::filesystem::path victim;
    std::vector<std::filesystem::path> order;  // the order of the run's visits
};

// Runs the batch (head "H", tail "T") over the race folder and calls `act` once, when the victim's former
// content has been copied up to `at` bytes (0: at the victim's turn, before any of it is read). Returns
// the messages shown.
std::vector<std::u16string> RunWithRace(RaceFolder& race, std::uint64_t at, const std::function<void()>& act);

// Two files for a disk that fills up: "small.txt" (64 KiB) fits twice, "big.txt" does not fit a second time.
struct FullDiskFolder {
    FullDiskFolder(const std::filesystem::path& folder, std::uint64_t big_size);

    std::int64_t BigIndex() const;
    // The run (head "H", tail "T") stopped at the big file for `reason`; the big file is whole, the small
    // one rewritten if it came first.
    void ExpectStoppedAtBig(const RecordingView& view, const std::u16string& reason) const;

    std::filesystem::path small;
    std::filesystem::path big;
    std::uint64_t big_size;
    std::vector<std::filesystem::path> order;
};

// Adds the full-disk test on `root`, a folder on a small file system; `really_full` false when only a
// file-size limit makes writes fail.
void RegisterSmallDiskTest(const std::filesystem::path& root, bool really_full);
