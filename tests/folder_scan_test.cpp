#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "batch/folder_scan.h"
#include "tests/support/test_folder.h"

namespace {

TEST(CollectTxtFiles, KeepsExactlyTheTxtFilesDirectlyInTheFolder) {
    TestFolder folder;
    for (const auto name : {u"a.txt", u"b.TXT", u"c.txt.bak", u"d.Txt", u".txt", u"txt", u"中文.txt"}) {
        folder.Write(name, "x");
    }
    MakeHidden(folder.Write(u".hidden.txt", "x"));
    std::filesystem::create_directory(folder / u"sub.txt");
    folder.Write(u"sub.txt/inner.txt", "x");

    const auto files = CollectTxtFiles(folder.path());
    ASSERT_TRUE(files.ok());
    std::vector<std::u16string> names;
    for (const auto& file : files.value()) {
        names.push_back(file.path.filename().u16string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::u16string>{u".hidden.txt", u".txt", u"a.txt", u"中文.txt"}));
}

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
