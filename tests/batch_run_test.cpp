#include <gtest/gtest.h>

#include <filesystem>
#include <stop_token>

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

// Each kind of folder path: which message the run shows, and whether and in which order it locks the window.
TEST(RunBatch, MessagesAndLockingFollowThePath) {
    TestFolder folder;
    const auto typical = folder / u"typical";
    const auto names = folder / u"目录-\u0E01";  // names outside the ANSI code page (Thai, emoji)
    const auto hidden = folder / u"hidden";
    const auto none = folder / u"none";
    for (const auto& sub : {typical, names, hidden, none}) {
        std::filesystem::create_directory(sub);
    }
    WriteBytes(typical / u"a.txt", "abc");
    WriteBytes(names / u"\u0E01\u0E02.txt", "abc");
    WriteBytes(names / u"\U0001F600.txt", "abc");
    MakeHidden(folder.Write(u"hidden/.hidden.txt", "abc"));
    const auto system = folder.Write(u"hidden/.system.txt", "abc");
    MakeHidden(system);
    MakeSystem(system);
    WriteBytes(none / u"notes.md", "x");

    const Events done = Concat({kLock, {Message(messages::kTaskDone)}, kUnlock});
    const Events refused{Message(messages::kPathMissing)};
    const struct {
        std::u16string path;
        Events events;
    } cases[] = {
        {u"", {Message(messages::kSetPathFirst)}},
        {u"   ", {Message(messages::kSetPathFirst)}},
        {FolderText(folder) + u"/missing", refused},
        {typical.u16string() + u"\t", refused},  // only spaces are trimmed
        {u"\n" + typical.u16string(), refused},
        {none.u16string() + u"/", Concat({kLock, kUnlock})},  // no text file: no message at all
        {hidden.u16string(), done},                           // collected, but left alone
        {names.u16string(), done},
        {u"  " + typical.u16string() + u"  ", done},
        {typical.u16string(), done},  // a second run adds the head and tail a second time
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::PrintToString(platform::Path(row.path).string()));
        RecordingView view(row.path, u"H", u"T");
        RunBatch(view);
        EXPECT_EQ(view.events, row.events);
        EXPECT_EQ(view.locked_during_message, row.events == done) << "the box is shown while the window is locked";
    }
    EXPECT_EQ(ReadBytes(typical / u"a.txt"), "H\r\nH\r\nabc\r\nT\r\nT");
    EXPECT_EQ(ReadBytes(names / u"\u0E01\u0E02.txt"), "H\r\nabc\r\nT");
    EXPECT_EQ(ReadBytes(names / u"\U0001F600.txt"), "H\r\nabc\r\nT");
    EXPECT_EQ(ReadBytes(hidden / u".hidden.txt"), "abc");
    EXPECT_EQ(ReadBytes(system), "abc");
}

// The run stops in the middle of a long list, at a read-only file or when asked to at that file's turn,
// however far the files after it were prepared ahead: the files listed before it are rewritten, it and the
// rest are untouched, no temporary file is left, and the percentage done never goes back. A failure says how
// many were done, where it stopped and why; a stop says nothing.
TEST(RunBatch, StopInTheMiddleLeavesTheRestUntouched) {
    for (const bool asked : {false, true}) {
        SCOPED_TRACE(asked ? "stop asked for" : "read-only file");
        TestFolder folder;
        for (int i = 0; i < 50; ++i) {
            folder.Write(u"n" + std::u16string(1, u'a' + i / 10) + std::u16string(1, u'0' + i % 10) + u".txt", "abc");
        }
        const auto listing = platform::ListFolderFiles(folder.path());
        ASSERT_TRUE(listing.ok());
        const auto& order = listing.value();
        const std::size_t stop = order.size() / 2;
        const auto where = order[stop].path;
        if (!asked) {
            std::filesystem::permissions(where,
                                         std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                             std::filesystem::perms::others_write,
                                         std::filesystem::perm_options::remove);
        }
        std::stop_source stopper;
        int percent = 0;
        const auto message = RewriteFolder(
            {FolderText(folder), u"H", u"T"},
            [&](const BatchProgress& progress) {
                EXPECT_GE(PercentDone(progress), percent);
                percent = PercentDone(progress);
                if (asked && progress.current_file == where) {
                    stopper.request_stop();
                }
            },
            stopper.get_token());

        if (asked) {
            EXPECT_FALSE(message.has_value());
        } else {
            ASSERT_TRUE(message.has_value());
            EXPECT_TRUE(
                message->starts_with(FailurePrefix(static_cast<int>(stop)) + platform::PathText(where) + u"\r\n"));
            EXPECT_GT(message->size(), FailurePrefix(0).size() + platform::PathText(where).size() + 2)
                << "the reason is missing";
        }
        for (std::size_t i = 0; i < order.size(); ++i) {
            EXPECT_EQ(ReadBytes(order[i].path), i < stop ? "H\r\nabc\r\nT" : "abc") << i;
        }
        EXPECT_EQ(folder.Names().size(), order.size()) << "a temporary file is left";
    }
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

}  // namespace
