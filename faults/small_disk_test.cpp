#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "tests/support/fault_support.h"

// The disk fills up part-way through a file: the run stops there with the system's reason and the right
// count, the file keeps its old content, and the half-written temporary file is gone. The files before it
// fit one at a time but not all at once, so those prepared ahead fill the disk first: they are rewritten
// all the same, as a run of one file at a time would, and the files after the big one are left as they were.
// faults/small-drive runs this test on a small file system of its own and names it in VARNOTTA_SMALL_DISK,
// with ",limit" when a file-size limit of 1 MiB stands in for it.

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr int kDiskFull = ERROR_DISK_FULL;
constexpr int kBeyondTheLimit = ERROR_GEN_FAILURE;  // Wine has no Windows error of its own for that
#else
constexpr int kDiskFull = ENOSPC;
constexpr int kBeyondTheLimit = EFBIG;
#endif

TEST(SmallDisk, FillsUpPartWayWithNothingLost) {
    const char* disk = std::getenv("VARNOTTA_SMALL_DISK");
    if (disk == nullptr) {
        GTEST_SKIP() << "runs on a small disk that faults/small-drive provides";
    }
    std::string root = disk;
    const bool limit = root.ends_with(",limit");
    root.resize(root.size() - (limit ? 6 : 0));
    const auto folder = fs::path(root) / u"varnotta-full";
    fs::remove_all(folder);
    fs::create_directory(folder);
    // Each of the small files fits twice, two of them do not fit at once beside the others; "big.txt" does not
    // fit a second time (under the limit it fits once). Created in this order, the files are listed in it on
    // tmpfs, and the run's reports tell the order anyway.
    constexpr std::uint64_t kSmallSize = 200 * 1024 - 100;  // its rewrite takes no more pages
    const std::uint64_t big_size = limit ? kMiB - 3 : 1200 * 1024;
    const auto big = folder / u"big.txt";
    std::vector<fs::path> files;
    for (const auto name : {u"small-1.txt", u"small-2.txt", u"big.txt", u"small-3.txt"}) {
        files.push_back(folder / name);
        WritePattern(files.back(), files.back() == big ? big_size : kSmallSize);
    }
    const auto free_before = fs::space(folder).available;
    ASSERT_TRUE(limit || free_before < big_size) << "the disk is not small enough";

    std::vector<std::filesystem::path> visited;
    const auto message = Rewrite(folder, [&](const BatchProgress& progress) {
        if (visited.empty() || visited.back() != progress.current_file) {
            visited.push_back(progress.current_file);
        }
    });
    const auto turn = std::find(visited.begin(), visited.end(), big);

    EXPECT_TRUE(
        Stopped(message.value_or(u""), turn - visited.begin(), big, SystemText(limit ? kBeyondTheLimit : kDiskFull)));
    for (const auto& file : files) {
        const bool before = std::find(visited.begin(), turn, file) != turn;
        EXPECT_TRUE(
            HoldsPattern(file, before ? "H\r\n" : "", file == big ? big_size : kSmallSize, before ? "\r\nT" : ""));
    }
    EXPECT_EQ(NamesIn(folder),
              (std::vector<std::u16string>{u"big.txt", u"small-1.txt", u"small-2.txt", u"small-3.txt"}));
    // The space the temporary files took is given back.
    EXPECT_TRUE(limit || fs::space(folder).available >= free_before);
    fs::remove_all(folder);
}

}  // namespace
