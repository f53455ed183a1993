#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>

#include "platform/file_system.h"
#include "platform/seam.h"
#include "tests/test_folder.h"
#include "tests/test_os.h"

namespace {

namespace fs = std::filesystem;
using platform::kDirectoryEntries;
using platform::kNormalEntries;

fs::path Found(const fs::path& pattern, unsigned mask) {
    auto entry = platform::FindFirstEntry(pattern, mask);
    EXPECT_TRUE(entry.ok());
    return entry.ok() ? entry.value() : fs::path();
}

void RemoveWriteBits(const fs::path& path) {
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

TEST(FindFirstEntry, MasksSelectPlainFilesAndDirectories) {
    TestFolder folder;
    folder.Write(u"plain.txt", "x");
    RemoveWriteBits(folder.Write(u"readonly.txt", "x"));
    MakeHidden(folder.Write(u".hidden.txt", "x"));
    fs::create_directory(folder / u"dir");

    EXPECT_EQ(Found(folder / u"plain.txt", kNormalEntries), fs::path(u"plain.txt"));
    EXPECT_EQ(Found(folder / u"readonly.txt", kNormalEntries), fs::path(u"readonly.txt"));
    EXPECT_EQ(Found(folder / u".hidden.txt", kNormalEntries), fs::path());
    EXPECT_EQ(Found(folder / u".hidden.txt", kDirectoryEntries), fs::path());
    EXPECT_EQ(Found(folder / u"dir", kNormalEntries), fs::path());
    EXPECT_EQ(Found(folder / u"dir", kDirectoryEntries), fs::path(u"dir"));
    EXPECT_EQ(Found(folder / u"nothing", kDirectoryEntries), fs::path());
}

TEST(FindFirstEntry, WildcardsMatchInTheLastComponentOnly) {
    TestFolder folder;
    folder.Write(u"report.txt", "x");
    EXPECT_EQ(Found(folder / u"rep*.t?t", kNormalEntries), fs::path(u"report.txt"));
    EXPECT_EQ(Found(folder / u"x*", kNormalEntries), fs::path());
    EXPECT_EQ(Found(folder / u"[r]eport.txt", kNormalEntries), fs::path()) << "brackets are not wildcards";
}

// Names outside the ANSI code page come back from the listing as the text they were made from.
TEST(ListFolderFiles, ListsEveryFileButNoFolder) {
    TestFolder folder;
    folder.Write(u"a.txt", "x");
    MakeHidden(folder.Write(u".b", "x"));
    const std::u16string name = u"\u00FCn\u00EFcode-名字-\u0E01-\U0001F600.dat";
    WriteBytes(folder.path() / platform::PathFromText(name).value(), "x");
    fs::create_directory(folder / u"sub");
    folder.Write(u"sub/c.txt", "x");

    auto listing = platform::ListFolderFiles(folder.path());
    ASSERT_TRUE(listing.ok());
    std::vector<std::u16string> names;
    for (const auto& file : listing.value()) {
        names.push_back(platform::PathText(file.path.filename()));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::u16string>{u".b", u"a.txt", name}));
}

#ifndef _WIN32
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
