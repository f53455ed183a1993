#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "batch/folder_scan.h"
#include "tests/test_folder.h"
#include "tests/test_os.h"

namespace {

std::vector<std::u16string> NamesOf(const FileList& files) {
    std::vector<std::u16string> names;
    for (const auto& file : files) {
        names.push_back(file.path.filename().u16string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

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
    EXPECT_EQ(NamesOf(files.value()), (std::vector<std::u16string>{u".hidden.txt", u".txt", u"a.txt", u"中文.txt"}));
    for (const auto& file : files.value()) {
        EXPECT_EQ(file.path.parent_path(), folder.path()) << "full paths in the folder";
    }
}

TEST(CollectTxtFiles, FailsForWhatIsNotAListableFolder) {
    TestFolder folder;
    const auto file = folder.Write(u"a.txt", "x");
    EXPECT_FALSE(CollectTxtFiles(file).ok());
    EXPECT_FALSE(CollectTxtFiles(folder / u"missing").ok());
    EXPECT_FALSE(CollectTxtFiles(folder / u"a*").ok());
}

TEST(FolderExists, AcceptsFoldersFilesAndPatternsThatMatch) {
    TestFolder folder;
    const auto file = folder.Write(u"plain.txt", "x");
    MakeHidden(folder.Write(u".secret", "x"));
    std::filesystem::create_directory(folder / u"empty");
    const auto separator = std::u16string(1, static_cast<char16_t>(std::filesystem::path::preferred_separator));

    EXPECT_TRUE(FolderExists(folder.path()));
    EXPECT_TRUE(FolderExists(file));
    EXPECT_TRUE(FolderExists(folder.path().u16string() + separator));
    EXPECT_TRUE(FolderExists((folder / u"empty").u16string() + separator)) << "the folder's own entry counts";
    EXPECT_TRUE(FolderExists(folder / u"pla?n.*"));

    EXPECT_FALSE(FolderExists(folder / u"missing"));
    EXPECT_FALSE(FolderExists(folder / u"missing/deeper"));
    EXPECT_FALSE(FolderExists(folder / u"zz*"));
    EXPECT_FALSE(FolderExists(folder / u"bad<|>name"));
    EXPECT_FALSE(FolderExists(folder / u".secret"));
}

}  // namespace
