#include <gtest/gtest.h>

#include <filesystem>

#include "batch/batch_run.h"
#include "batch/messages.h"
#include "platform/file_system.h"
#include "tests/recording_view.h"
#include "tests/test_folder.h"
#include "tests/test_os.h"

namespace {

using Events = std::vector<std::u16string>;

const Events kLock{u"disable Command1", u"disable Command2", u"disable Text2", u"disable Text3", u"disable Command3"};
const Events kUnlock{u"enable Command1", u"enable Command2", u"enable Text2", u"enable Text3", u"enable Command3"};

Events Concat(std::initializer_list<Events> parts) {
    Events all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

std::u16string FolderText(const TestFolder& folder) {
    return folder.path().u16string();
}

std::u16string Message(std::u16string_view text) {
    return u"message " + std::u16string(text);
}

std::u16string FailurePrefix(int files_done) {
    const auto digits = std::to_string(files_done);
    return std::u16string(messages::kStoppedBefore) + std::u16string(digits.begin(), digits.end()) +
           std::u16string(messages::kStoppedAfter) + u"\r\n";
}

TEST(RunBatch, BlankPathAsksForOneAndTouchesNothing) {
    for (const std::u16string_view folder : {u"", u"   "}) {
        RecordingView view(std::u16string(folder), u"H", u"T");
        RunBatch(view);
        EXPECT_EQ(view.events, Events{Message(messages::kSetPathFirst)});
    }
}

TEST(RunBatch, MissingFolderIsReportedWithoutLocking) {
    TestFolder folder;
    for (const std::u16string& path :
         {FolderText(folder) + u"/missing", FolderText(folder) + u"\t", u"\n" + FolderText(folder)}) {
        RecordingView view(path, u"H", u"T");
        RunBatch(view);
        EXPECT_EQ(view.events, Events{Message(messages::kPathMissing)});
    }
}

TEST(RunBatch, TypicalRunRewritesOnlyTxtFilesDirectlyInTheFolder) {
    TestFolder folder;
    folder.Write(u"a.txt", "abc");
    folder.Write(u"b.TXT", "abc");
    folder.Write(u"c.txt.bak", "abc");
    std::filesystem::create_directory(folder / u"sub");
    folder.Write(u"sub/d.txt", "abc");
    std::filesystem::create_directory(folder / u"e.txt");

    RecordingView view(u"  " + FolderText(folder) + u"  ", u"  H  ", u"T");
    RunBatch(view);

    EXPECT_EQ(view.events, Concat({kLock, {Message(messages::kTaskDone)}, kUnlock}));
    EXPECT_TRUE(view.locked_during_message);
    EXPECT_EQ(folder.Read(u"a.txt"), "H\r\nabc\r\nT");
    EXPECT_EQ(folder.Read(u"b.TXT"), "abc");
    EXPECT_EQ(folder.Read(u"c.txt.bak"), "abc");
    EXPECT_EQ(folder.Read(u"sub/d.txt"), "abc");
    EXPECT_EQ(folder.Names(), (std::vector<std::u16string>{u"a.txt", u"b.TXT", u"c.txt.bak", u"e.txt", u"sub"}));
}

// Names outside the ANSI code page (Thai, emoji) are found and rewritten like any other.
TEST(RunBatch, RewritesFilesWhoseNamesTheCodePageCannotHold) {
    TestFolder folder;
    const auto inner = folder / u"目录-\u0E01";
    std::filesystem::create_directory(inner);
    WriteBytes(inner / u"\u0E01\u0E02.txt", "abc");
    WriteBytes(inner / u"\U0001F600.txt", "abc");
    RecordingView view(inner.u16string(), u"H", u"T");
    RunBatch(view);
    EXPECT_EQ(view.messages, std::vector<std::u16string>{std::u16string(messages::kTaskDone)});
    EXPECT_EQ(ReadBytes(inner / u"\u0E01\u0E02.txt"), "H\r\nabc\r\nT");
    EXPECT_EQ(ReadBytes(inner / u"\U0001F600.txt"), "H\r\nabc\r\nT");
}

TEST(RunBatch, FolderWithoutTxtFilesLocksAndUnlocksSilently) {
    TestFolder folder;
    folder.Write(u"notes.md", "x");
    RecordingView view(FolderText(folder) + u"/", u"H", u"T");
    RunBatch(view);
    EXPECT_EQ(view.events, Concat({kLock, kUnlock}));
}

TEST(RunBatch, StartTwiceAddsTheHeadTwice) {
    TestFolder folder;
    folder.Write(u"a.txt", "abc");
    for (int run = 0; run < 2; ++run) {
        RecordingView view(FolderText(folder), u"H", u"");
        RunBatch(view);
    }
    EXPECT_EQ(folder.Read(u"a.txt"), "H\r\nH\r\nabc");
}

TEST(RunBatch, HiddenAndSystemFilesAreCollectedButLeftAlone) {
    TestFolder folder;
    MakeHidden(folder.Write(u".hidden.txt", "abc"));
    const auto system = folder.Write(u".system.txt", "abc");
    MakeHidden(system);
    MakeSystem(system);
    RecordingView view(FolderText(folder), u"H", u"T");
    RunBatch(view);
    EXPECT_EQ(view.events, Concat({kLock, {Message(messages::kTaskDone)}, kUnlock}));
    EXPECT_EQ(folder.Read(u".hidden.txt"), "abc");
    EXPECT_EQ(folder.Read(u".system.txt"), "abc");
}

TEST(RunBatch, BlankHeadAndTailStillFinish) {
    TestFolder folder;
    folder.Write(u"a.txt", "abc\r\n");
    RecordingView view(FolderText(folder), u"  ", u"");
    RunBatch(view);
    EXPECT_EQ(view.messages, std::vector<std::u16string>{std::u16string(messages::kTaskDone)});
    EXPECT_EQ(folder.Read(u"a.txt"), "abc\r\n");
}

// The run stops at the read-only file: files listed before it are rewritten, the rest are untouched,
// and the box says how many were done, where it stopped and why.
TEST(RunBatch, FailureStopsTheRunAndSaysWhere) {
    TestFolder folder;
    for (const auto name : {u"1.txt", u"2.txt", u"3.txt", u"4.txt"}) {
        folder.Write(name, "abc");
    }
    const auto locked = folder / u"3.txt";
    std::filesystem::permissions(locked,
                                 std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    const auto listing = platform::ListFolderFiles(folder.path());
    ASSERT_TRUE(listing.ok());
    const auto& order = listing.value();
    const auto stop = std::find(order.begin(), order.end(), locked) - order.begin();

    RecordingView view(FolderText(folder), u"H", u"T");
    RunBatch(view);

    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_TRUE(
        view.messages[0].starts_with(FailurePrefix(static_cast<int>(stop)) + platform::PathText(locked) + u"\r\n"))
        << "stopped at index " << stop;
    EXPECT_GT(view.messages[0].size(), FailurePrefix(0).size() + platform::PathText(locked).size() + 2)
        << "the reason is missing";
    EXPECT_EQ(view.events.back(), u"enable Command3");
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(ReadBytes(order[i]), i < static_cast<std::size_t>(stop) ? "H\r\nabc\r\nT" : "abc") << i;
    }
    EXPECT_EQ(folder.Names(), (std::vector<std::u16string>{u"1.txt", u"2.txt", u"3.txt", u"4.txt"}));
}

TEST(RunBatch, UnlistableFolderThatPassesTheTestIsReported) {
    TestFolder folder;
    const auto file = folder.Write(u"plain.txt", "abc");
    std::filesystem::create_directory(folder / u"wild-folder");
    for (const auto& path : {file, folder / u"wild-*"}) {
        RecordingView view(path.u16string(), u"H", u"T");
        RunBatch(view);
        ASSERT_EQ(view.messages.size(), 1u);
        EXPECT_TRUE(view.messages[0].starts_with(FailurePrefix(0) + platform::PathText(path) + u"\r\n"));
        EXPECT_EQ(view.events, Concat({kLock, {Message(view.messages[0])}, kUnlock}));
    }
    EXPECT_EQ(folder.Read(u"plain.txt"), "abc");
}

// A folder whose path reaches the old 260-character limit of Windows or goes past it, where some of the
// system's own functions cut paths short; the path is spelled as typed, with "/" and "..".
TEST(RunBatch, FolderPathsOfAnyLength) {
    TestFolder folder;
    std::vector<std::filesystem::path> made;  // removed deepest first at the end: the test folder cannot
    for (const std::size_t length : {240, 244, 246, 248, 250, 252, 254, 256, 258, 262, 300, 420}) {
        SCOPED_TRACE(testing::Message() << "folder path of " << length << " characters");
        std::u16string path = FolderText(folder);
        while (path.size() < length) {
            const std::size_t room = length - path.size() - 1;  // after the separator
            path += room > 120 ? u"/" + std::u16string(100, u'x') : u"/" + std::u16string(room, u'y');
            if (std::filesystem::create_directory(AnyLengthPath(path))) {
                made.push_back(AnyLengthPath(path));
            }
        }
        const auto file = AnyLengthPath(path + u"/a.txt");
        WriteBytes(file, "abc");
        std::filesystem::create_directory(AnyLengthPath(path + u"/sub"));
        RecordingView view(path + u"/sub/..", u"H", u"T");
        RunBatch(view);
        EXPECT_EQ(view.messages, std::vector<std::u16string>{std::u16string(messages::kTaskDone)});
        EXPECT_EQ(ReadBytes(file), "H\r\nabc\r\nT");
        EXPECT_EQ(platform::ListFolderFiles(path).value().size(), 1u) << "a temporary file is left";
        std::filesystem::remove(file);
        std::filesystem::remove(AnyLengthPath(path + u"/sub"));
    }
    std::for_each(made.rbegin(), made.rend(), [](const auto& path) { std::filesystem::remove(path); });
}

TEST(RunBatch, HeadTheFileCannotHoldStopsTheRunWithoutChange) {
    TestFolder folder;
    folder.Write(u"gbk.txt", "\xD6\xD0\xCE\xC4");  // "中文" in code page 936
    RecordingView view(FolderText(folder), u"\U0001F600", u"");
    RunBatch(view);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0], FailurePrefix(0) + platform::PathText(folder / u"gbk.txt") + u"\r\n" +
                                    std::u16string(messages::kUnencodable));
    EXPECT_EQ(folder.Read(u"gbk.txt"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(folder.Names(), std::vector<std::u16string>{u"gbk.txt"});
}

}  // namespace
