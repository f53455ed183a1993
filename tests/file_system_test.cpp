#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/file_system.h"
#include "tests/support/test_folder.h"

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
#endif

}  // namespace
