#include <gtest/gtest.h>

#include <filesystem>

#include "batch/folder_scan.h"
#include "tests/support/test_folder.h"

namespace {

// A folder, a file, or a pattern that finds either passes; hidden entries and brackets (no wildcard) do not.
TEST(FolderExists, AcceptsFoldersFilesAndPatternsThatMatch) {
    TestFolder folder;
    folder.Write(u"plain.txt", "x");
    MakeHidden(folder.Write(u".secret", "x"));
    std::filesystem::create_directory(folder / u"empty");
    // Each name is appended to the folder's path.
    for (const bool exists : {true, false}) {
        for (const std::u16string& name :
             exists ? std::vector<std::u16string>{u"", u"/", u"/plain.txt", u"/empty/", u"/pla?n.*"}
                    : std::vector<std::u16string>{u"/missing", u"/missing/deeper", u"/zz*", u"/bad<|>name", u"/.secret",
                                                  u"/[p]la?n.*"}) {
            EXPECT_EQ(FolderExists(folder.path().u16string() + name), exists) << platform::Path(name);
        }
    }
}

}  // namespace
