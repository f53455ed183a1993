#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "batch/messages.h"
#include "faults/fault_support.h"
#include "tests/test_folder.h"

// The disk fills part-way through a file: the run stops there with the system's reason, the file keeps its
// old content, and the half-written temporary file is gone.

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kKiB = 1024;

std::u16string SystemText(int error) {
    const std::string text = std::strerror(error);
    return std::u16string(text.begin(), text.end());
}

// A tmpfs of its own, unmounted afterwards.
class SmallDisk {
  public:
    SmallDisk(const fs::path& where, const char* size) : where_(where) {
        fs::create_directory(where_);
        const std::string options = std::string("size=") + size;
        mounted_ = ::mount("tmpfs", where_.c_str(), "tmpfs", 0, options.c_str()) == 0;
        error_ = errno;
    }
    ~SmallDisk() {
        if (mounted_) {
            ::umount2(where_.c_str(), MNT_DETACH);
        }
    }
    bool mounted() const { return mounted_; }
    int error() const { return error_; }
    std::uint64_t FreeBytes() const {
        struct statvfs info;
        return ::statvfs(where_.c_str(), &info) == 0 ? std::uint64_t{info.f_bavail} * info.f_frsize : 0;
    }

  private:
    fs::path where_;
    bool mounted_ = false;
    int error_ = 0;
};

TEST(DiskFull, OnASmallTmpfsNothingIsLost) {
    TestFolder outer;
    const SmallDisk disk(outer / u"disk", "2m");
    if (!disk.mounted()) {
        GTEST_SKIP() << "no tmpfs may be mounted here (" << std::strerror(disk.error())
                     << "); DiskFull.BeyondTheFileSizeLimitNothingIsLost covers a write that fails part-way";
    }
    constexpr std::uint64_t kBigSize = 1200 * kKiB;
    const FullDiskFolder files(outer / u"disk", kBigSize);
    const auto free_before = disk.FreeBytes();
    ASSERT_LT(free_before, kBigSize) << "the disk must not hold a second copy of the big file";

    RecordingView view((outer / u"disk").u16string(), u"H", u"T");
    RunBatch(view);

    files.ExpectStoppedAtBig(view, SystemText(ENOSPC));
    EXPECT_EQ(NamesIn(outer / u"disk"), (std::vector<std::u16string>{u"big.txt", u"small.txt"}));
    // The space the temporary file took is given back (less what the small file's rewrite added).
    EXPECT_GE(disk.FreeBytes() + 8 * kKiB, free_before);
}

// Where no file system can be mounted, a file-size limit makes a write fail part-way just the same.
TEST(DiskFull, BeyondTheFileSizeLimitNothingIsLost) {
    TestFolder folder;
    constexpr std::uint64_t kBigSize = 1536 * kKiB;
    const FullDiskFolder files(folder.path(), kBigSize);

    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit limited = saved;
    limited.rlim_cur = 1024 * kKiB;
    const auto saved_handler = ::signal(SIGXFSZ, SIG_IGN);  // a failed write instead of a killed process
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    RecordingView view(folder.path().u16string(), u"H", u"T");
    RunBatch(view);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, saved_handler);

    files.ExpectStoppedAtBig(view, SystemText(EFBIG));
    EXPECT_EQ(folder.Names(), (std::vector<std::u16string>{u"big.txt", u"small.txt"}));
}

}  // namespace
