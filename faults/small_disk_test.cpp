#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "faults/fault_support.h"

// The disk fills up part-way through a file: the run stops there with the system's reason and the right
// count, the file keeps its old content, and the half-written temporary file is gone. faults/small-drive
// runs this test on a small file system of its own and names it in VARNOTTA_SMALL_DISK, with ",limit" when
// a file-size limit of 1 MiB stands in for it.

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
    // "small.txt" fits twice; "big.txt" does not fit a second time (under the limit it fits once).
    constexpr std::uint64_t kSmallSize = 64 * 1024;
    const std::uint64_t big_size = limit ? kMiB - 3 : 1200 * 1024;
    const auto small = folder / u"small.txt";
    const auto big = folder / u"big.txt";
    WritePattern(small, kSmallSize);
    WritePattern(big, big_size);
    const auto free_before = fs::space(folder).available;
    ASSERT_TRUE(limit || free_before < big_size) << "the disk is not small enough";

    std::vector<std::filesystem::path> visited;
    RecordingView view(folder.u16string(), u"H", u"T",
                       [&](const BatchProgress& progress) { visited.push_back(progress.current_file); });
    RunBatch(view);
    const bool small_first = visited.front() == small;

    EXPECT_TRUE(Stopped(view.messages, small_first ? 1 : 0, big, SystemText(limit ? kBeyondTheLimit : kDiskFull)));
    EXPECT_TRUE(HoldsPattern(big, "", big_size, ""));
    EXPECT_TRUE(small_first ? HoldsPattern(small, "H\r\n", kSmallSize, "\r\nT")
                            : HoldsPattern(small, "", kSmallSize, ""));
    EXPECT_EQ(NamesIn(folder), (std::vector<std::u16string>{u"big.txt", u"small.txt"}));
    // The space the temporary file took is given back (less what the small file's rewrite added).
    EXPECT_TRUE(limit || fs::space(folder).available + 8 * 1024 >= free_before);
    fs::remove_all(folder);
}

}  // namespace
