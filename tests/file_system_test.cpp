#include <gtest/gtest.h>

#include <filesystem>

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

}  // namespace
