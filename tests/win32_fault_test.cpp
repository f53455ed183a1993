// Rewrites that fail for real reasons on Windows: a file another program holds open without sharing.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "batch/batch_run.h"
#include "batch/messages.h"
#include "platform/file_system.h"
#include "tests/recording_view.h"
#include "tests/test_folder.h"

namespace {

TEST(Win32Faults, FileHeldWithoutSharingStopsTheRunUnchanged) {
    TestFolder folder;
    const auto held = folder.Write(u"held.txt", "held");
    const HANDLE handle = CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    RecordingView view(folder.path().u16string(), u"H", u"T");
    RunBatch(view);
    CloseHandle(handle);

    ASSERT_EQ(view.messages.size(), 1u);
    const std::u16string expected_start = std::u16string(messages::kStoppedBefore) + u"0" +
                                          std::u16string(messages::kStoppedAfter) + u"\r\n" + platform::PathText(held) +
                                          u"\r\n";
    EXPECT_TRUE(view.messages[0].starts_with(expected_start));
    EXPECT_GT(view.messages[0].size(), expected_start.size()) << "the system's reason is missing";
    EXPECT_EQ(ReadBytes(held), "held");
    EXPECT_EQ(folder.Names(), std::vector<std::u16string>{u"held.txt"});
}

}  // namespace
