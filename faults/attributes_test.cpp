#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/reparse_point.h"
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "tests/support/fault_support.h"

// A rewrite puts a new file in the old one's place; the new file must carry what the user set on the old
// one: its attributes on Windows; its mode bits and, where the run may set them (as root), its owner and
// group elsewhere. Hidden and system files, links and what is not a plain file are passed over.

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
struct Setting {
    DWORD attributes;
    bool skipped;
};
// Wine gives every plain file the archive attribute, so every setting has it.
const Setting kSettings[] = {
    {FILE_ATTRIBUTE_ARCHIVE, false},
    {FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE, true},  // hidden ones: batch_tests
};

void Apply(const fs::path& path, const Setting& setting) {
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), setting.attributes));
}

std::string StateOf(const fs::path& path) {
    return "attributes " + std::to_string(GetFileAttributesW(path.c_str()));
}

// Only reparse points that name another file are links; the others hold the file's own data, and a file
// with such a reparse point is as plain as any.
TEST(Attributes, ReparsePointsAreLinksOnlyWhenTheyStandForAnotherFile) {
    const struct {
        DWORD attributes;
        DWORD tag;
        bool link;
        bool plain_file;
    } cases[] = {
        {FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_SYMLINK, true, false},
        {FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_MOUNT_POINT, true, false},
        {FILE_ATTRIBUTE_REPARSE_POINT, 0xA000001B /* an app execution alias */, true, false},
        {FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_DEDUP, false, true},
        {FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_WOF, false, true},
        {FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_CLOUD_1, false, true},
        {FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_SPARSE_FILE, IO_REPARSE_TAG_HSM, false, true},
        {FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY, IO_REPARSE_TAG_CLOUD_1, false, false},
        {FILE_ATTRIBUTE_DIRECTORY, 0, false, false},
        {FILE_ATTRIBUTE_ARCHIVE, IO_REPARSE_TAG_SYMLINK, false, true},  // no reparse point: the tag means nothing
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << row.attributes << " " << row.tag);
        EXPECT_EQ(platform::IsLink(row.attributes, row.tag), row.link);
        EXPECT_EQ(platform::IsPlainFile(row.attributes, row.tag), row.plain_file);
    }
}
#else
constexpr uid_t kNobody = 65534;

struct Setting {
    mode_t mode;
    bool other_owner;  // nobody's, as root
    bool other_group;
    static constexpr bool skipped = false;
};
const Setting kSettings[] = {
    {0644, false, false}, {0600, true, true}, {0604, true, false}, {01666, false, true}, {06755, true, true},
};

void Apply(const fs::path& path, const Setting& setting) {
    // Another user's file can only be set up, and its owner only kept, by root; CI runs as root.
    const bool root = ::geteuid() == 0;
    ASSERT_EQ(::chown(path.c_str(), root && setting.other_owner ? kNobody : ::geteuid(),
                      root && setting.other_group ? kNobody : ::getegid()),
              0);
    ASSERT_EQ(::chmod(path.c_str(), setting.mode), 0);
}

std::string StateOf(const fs::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    char text[64];
    std::snprintf(text, sizeof text, "mode %06o owner %u:%u", static_cast<unsigned>(info.st_mode), info.st_uid,
                  info.st_gid);
    return text;
}

// What the user running the program may not do stops the run at that file, which stays as it was: read it,
// or even look it up once the folder's search permission is taken away at its turn.
TEST(Attributes, WhatTheUserMayNotReachStopsTheRunUnchanged) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as an unprivileged user";
    }
    for (const bool folder_closed : {false, true}) {
        SCOPED_TRACE(folder_closed ? "folder closed during the run" : "file the user may not read");
        TestFolder folder;
        fs::permissions(folder.path(), fs::perms::all);
        ASSERT_EQ(::chown(folder.path().c_str(), kNobody, kNobody), 0);
        const auto secret = folder.Write(u"secret.txt", "secret");
        fs::permissions(secret, folder_closed ? fs::perms::all : fs::perms::owner_read | fs::perms::owner_write);
        const pid_t child = ::fork();
        if (child == 0) {  // the run as an unprivileged user, in a process of its own
            EXPECT_EQ(::setgid(kNobody), 0);
            EXPECT_EQ(::setuid(kNobody), 0);
            const auto message = Rewrite(folder.path(), [&](const BatchProgress&) {
                if (folder_closed) {
                    fs::permissions(folder.path(), fs::perms::owner_read | fs::perms::owner_write);
                }
            });
            EXPECT_TRUE(Stopped(message.value_or(u""), 0, secret, SystemText(EACCES)));
            ::_exit(::testing::Test::HasFailure() ? 1 : 0);
        }
        int status = -1;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_EQ(status, 0) << "the run as an unprivileged user went wrong";
        EXPECT_EQ(ReadBytes(secret), "secret");
        EXPECT_EQ(NamesIn(folder.path()), std::vector<std::u16string>{u"secret.txt"});
    }
}
#endif

TEST(Attributes, StayAsTheUserSetThem) {
    for (const Setting& setting : kSettings) {
        TestFolder folder;
        const auto path = folder.Write(u"f.txt", "abc");
        Apply(path, setting);
        const std::string before = StateOf(path);
        SCOPED_TRACE(before);

        EXPECT_EQ(Rewrite(folder.path()), kDone);
        EXPECT_EQ(StateOf(path), before);
        EXPECT_EQ(folder.Read(u"f.txt"), setting.skipped ? "abc" : "H\r\nabc\r\nT");
        EXPECT_EQ(NamesIn(folder.path()), std::vector<std::u16string>{u"f.txt"});
    }
}

// What is not a plain file stays as it is beside a plain file that is rewritten: a symbolic link (Windows,
// where the system lets the test make one), a pipe whose name would find the plain file as a pattern (POSIX).
TEST(Attributes, OtherEntriesArePassedOver) {
    TestFolder folder;
    folder.Write(u"ab.txt", "ab");
#ifdef _WIN32
    const auto other = folder / u"link.txt";
    if (!CreateSymbolicLinkW(other.c_str(), folder.Write(u"target.dat", "target").c_str(), 0)) {
        GTEST_SKIP() << "no symbolic link here: error " << GetLastError();
    }
#else
    const auto other = folder / u"a?.txt";
    ASSERT_EQ(::mkfifo(other.c_str(), 0600), 0);
#endif
    const std::string before = StateOf(other);
    EXPECT_EQ(Rewrite(folder.path()), kDone);
    EXPECT_EQ(StateOf(other), before);
    EXPECT_EQ(folder.Read(u"ab.txt"), "H\r\nab\r\nT");
}

}  // namespace
