#include <gtest/gtest.h>

#include <filesystem>

#include "faults/fault_os.h"
#include "faults/fault_support.h"

// The disk fills up part-way through a file, on a small file system that the caller provides (under Wine,
// a drive letter that leads to a small tmpfs). Registered only when the caller names one.

namespace {

class SmallDiskTest : public ::testing::Test {
  public:
    SmallDiskTest(std::filesystem::path root, bool really_full) : root_(std::move(root)), really_full_(really_full) {}

    void TestBody() override {
        const auto folder = root_ / u"varnotta-full";
        std::filesystem::remove_all(folder);
        std::filesystem::create_directory(folder);
        // Under a file-size limit (of 1 MiB) the big file must fit, and its rewrite must not.
        const std::uint64_t big_size = really_full_ ? 1200 * 1024 : 1024 * 1024 - 3;
        const FullDiskFolder files(folder, big_size);
        if (really_full_) {
            ASSERT_LT(std::filesystem::space(folder).available, big_size) << "the disk is not small enough";
        }

        RecordingView view(folder.u16string(), u"H", u"T");
        RunBatch(view);

        if (really_full_) {
            files.ExpectStoppedAtBig(view, DiskFullText());
        } else {
            // A file-size limit stands in for the small disk; the system words that failure its own way.
            ASSERT_EQ(view.messages.size(), 1u);
            EXPECT_TRUE(view.messages[0].starts_with(FailureHead(files.BigIndex(), files.big)));
            files.ExpectStoppedAtBig(view, view.messages[0].substr(FailureHead(files.BigIndex(), files.big).size()));
        }
        EXPECT_EQ(NamesIn(folder), (std::vector<std::u16string>{u"big.txt", u"small.txt"}));
        std::filesystem::remove_all(folder);
    }

  private:
    std::filesystem::path root_;
    bool really_full_;
};

}  // namespace

void RegisterSmallDiskTest(const std::filesystem::path& root, bool really_full) {
    ::testing::RegisterTest("SmallDisk", "FillsUpPartWayWithNothingLost", nullptr, nullptr, __FILE__, __LINE__,
                            [=]() -> ::testing::Test* { return new SmallDiskTest(root, really_full); });
}
