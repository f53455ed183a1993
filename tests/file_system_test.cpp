#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/file_system.h"
#include "platform/seam.h"
#include "tests/test_folder.h"

namespace {

namespace fs = std::filesystem;

// The run's last look at each collected name: a folder (or a link to one) is no plain file.
TEST(IsNormalFile, NotForAFolder) {
    TestFolder folder;
    fs::create_directory(folder / u"dir.txt");
    EXPECT_FALSE(platform::IsNormalFile(folder / u"dir.txt").value());
}

#ifndef _WIN32
// A folder on another file system (a mount point, such as /dev/shm on Linux systems) shows as one; a folder
// beside the listed one's own does not.
TEST(ListFolder, TellsMountPointsApart) {
    TestFolder folder;
    fs::create_directory(folder / u"plain");
    const struct {
        fs::path folder;
        std::string_view name;
        bool other_file_system;
    } cases[] = {{"/dev", "shm", true}, {folder.path(), "plain", false}};
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        std::optional<bool> other;
        ASSERT_TRUE(platform::ListFolder(row.folder, [&](const platform::ListedEntry& entry) {
                        if (entry.name == row.name) {
                            other = entry.other_file_system;
                        }
                    }).ok());
        EXPECT_EQ(other, row.other_file_system);
    }
}

// Another program puts its own file in the target's place in the last instant and the swap that would give it
// back fails: its file is never deleted, and the report points at the name that holds the new content.
TEST(ReplacementFile, FailedSwapBackNamesWhereTheNewContentIs) {
    TestFolder folder;
    const auto target = folder.Write(u"a.txt", "old");
    auto original = platform::InputFile::Open(target);
    ASSERT_TRUE(original.ok());
    auto replacement = platform::ReplacementFile::CreateFor(target, original.value());
    ASSERT_TRUE(replacement.ok());
    ASSERT_TRUE(replacement.value().Write("new").ok());
    platform::seam::before_call = [&](platform::seam::Call call) {
        if (call == platform::seam::Call::SwapBack) {
            return EPERM;
        }
        fs::rename(folder.Write(u"theirs", "theirs"), target);
        return 0;
    };
    const auto replaced = replacement.value().Replace(original.value().stamp());
    platform::seam::before_call = nullptr;
    ASSERT_FALSE(replaced.ok());
    EXPECT_EQ(replaced.error().kept_copy, target);
    EXPECT_EQ(ReadBytes(target), "new");
    EXPECT_EQ(ReadBytes(replacement.value().temporary_path()), "theirs");
}
#endif

}  // namespace
