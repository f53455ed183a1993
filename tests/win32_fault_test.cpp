// Reparse points as the run meets them on Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "batch/batch_run.h"
#include "batch/messages.h"
#include "platform/file_system.h"
#include "platform/win32/reparse_point.h"
#include "tests/recording_view.h"
#include "tests/test_folder.h"

namespace {

// Only reparse points that name another file are links; the others hold the file's own data.
TEST(Win32Faults, ReparsePointsAreLinksOnlyWhenTheyStandForAnotherFile) {
    const struct {
        DWORD attributes;
        DWORD tag;
        bool link;
    } cases[] = {
        {FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_SYMLINK, true},
        {FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_MOUNT_POINT, true},
        {FILE_ATTRIBUTE_REPARSE_POINT, 0xA000001B /* an app execution alias */, true},
        {FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_DEDUP, false},
        {FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_WOF, false},
        {FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_CLOUD_1, false},
        {FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_SPARSE_FILE, IO_REPARSE_TAG_HSM, false},
        {FILE_ATTRIBUTE_ARCHIVE, IO_REPARSE_TAG_SYMLINK, false},  // no reparse point: the tag field means nothing
    };
    for (const auto& row : cases) {
        EXPECT_EQ(platform::IsLink(row.attributes, row.tag), row.link) << std::hex << row.tag;
    }
}

// A symbolic link, where the system lets the test make one, is passed over and stays a link.
TEST(Win32Faults, SymbolicLinksAreLeftAsLinks) {
    TestFolder folder;
    const auto target = folder.Write(u"target.dat", "target");
    const auto link = folder / u"link.txt";
    if (!CreateSymbolicLinkW(link.c_str(), target.c_str(), 0)) {
        GTEST_SKIP() << "no symbolic link here: error " << GetLastError();
    }
    folder.Write(u"plain.txt", "plain");
    RecordingView view(folder.path().u16string(), u"H", u"T");
    RunBatch(view);
    EXPECT_EQ(view.messages, std::vector<std::u16string>{std::u16string(messages::kTaskDone)});
    EXPECT_NE(GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    EXPECT_EQ(ReadBytes(target), "target");
    EXPECT_EQ(folder.Read(u"plain.txt"), "H\r\nplain\r\nT");
}

}  // namespace
