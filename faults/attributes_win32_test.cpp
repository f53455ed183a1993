#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "batch/messages.h"
#include "faults/fault_support.h"
#include "tests/test_folder.h"

// A rewrite replaces the file; the attributes the user sees must be those it had before. Hidden and system
// files are passed over; a read-only file stops the run unchanged.

namespace {

struct Case {
    DWORD attributes;
    const char* name;
    enum { kRewritten, kSkipped, kStopsTheRun } outcome;
};

TEST(Attributes, AreThoseTheFileHadBefore) {
    const std::vector<Case> cases{
        {FILE_ATTRIBUTE_NORMAL, "normal", Case::kRewritten},
        {FILE_ATTRIBUTE_ARCHIVE, "archive", Case::kRewritten},
        {FILE_ATTRIBUTE_HIDDEN, "hidden", Case::kSkipped},
        {FILE_ATTRIBUTE_SYSTEM, "system", Case::kSkipped},
        {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE, "hidden, system, archive",
         Case::kSkipped},
        {FILE_ATTRIBUTE_READONLY, "read-only", Case::kStopsTheRun},
        {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, "read-only, archive", Case::kStopsTheRun},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        TestFolder folder;
        const auto path = folder.Write(u"f.txt", "abc");
        ASSERT_TRUE(SetFileAttributesW(path.c_str(), test.attributes));
        // Wine gives every plain file the archive attribute, so only the attributes asked for are checked.
        const DWORD before = GetFileAttributesW(path.c_str());
        const DWORD asked = test.attributes == FILE_ATTRIBUTE_NORMAL ? 0 : test.attributes;
        ASSERT_EQ(before & asked, asked) << "set-up";

        RecordingView view(folder.path().u16string(), u"H", u"T");
        RunBatch(view);

        EXPECT_EQ(GetFileAttributesW(path.c_str()), before);
        if (test.outcome == Case::kStopsTheRun) {
            ASSERT_EQ(view.messages.size(), 1u);
            EXPECT_TRUE(view.messages[0].starts_with(FailureHead(0, path)));
        } else {
            EXPECT_EQ(view.messages, std::vector<std::u16string>{std::u16string(messages::kTaskDone)});
        }
        EXPECT_EQ(folder.Read(u"f.txt"), test.outcome == Case::kRewritten ? "H\r\nabc\r\nT" : "abc");
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(folder.Names(), std::vector<std::u16string>{u"f.txt"});
    }
}

}  // namespace
