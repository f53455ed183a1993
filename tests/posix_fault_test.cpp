// What the run meets on Linux: files and folders the user running the program may not reach, each run in a
// child process so that the lowered privileges stay there; pipes and names that look like patterns.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "batch/batch_run.h"
#include "batch/messages.h"
#include "platform/file_system.h"
#include "tests/recording_view.h"
#include "tests/test_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

// Runs `prepare` and then a whole batch run over `folder` in a child process, with `hook` called as it goes;
// returns the messages it showed.
std::u16string RunInChild(const TestFolder& folder, const std::function<void()>& prepare,
                          std::function<void(const BatchProgress&)> hook = {}) {
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) {
        ADD_FAILURE() << "pipe";
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe_ends[0]);
        prepare();
        RecordingView view(folder.path().u16string(), u"H", u"T", std::move(hook));
        RunBatch(view);
        std::u16string all;
        for (const auto& message : view.messages) {
            all += message;
        }
        const auto written = ::write(pipe_ends[1], all.data(), all.size() * sizeof(char16_t));
        ::_exit(written >= 0 ? 0 : 1);
    }
    ::close(pipe_ends[1]);
    std::u16string received;
    char16_t buffer[512];
    for (ssize_t n; (n = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0;) {
        received.append(buffer, static_cast<std::size_t>(n) / sizeof(char16_t));
    }
    ::close(pipe_ends[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return received;
}

std::u16string StoppedAt(std::size_t files_done, const fs::path& where) {
    const auto digits = std::to_string(files_done);
    return std::u16string(messages::kStoppedBefore) + std::u16string(digits.begin(), digits.end()) +
           std::u16string(messages::kStoppedAfter) + u"\r\n" + platform::PathText(where) + u"\r\n";
}

// Where `path` comes in the run's order: the number of files rewritten before it.
std::size_t PositionOf(const TestFolder& folder, const fs::path& path) {
    const auto order = platform::ListFolderFiles(folder.path()).value();
    return static_cast<std::size_t>(
        std::find_if(order.begin(), order.end(), [&](const auto& file) { return file.path == path; }) - order.begin());
}

// What an unprivileged user may not do stops the run at that file: read it, or even look it up once the
// folder's search permission is taken away after the collection.
TEST(PosixFaults, WhatTheUserMayNotReachStopsTheRunUnchanged) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to switch to an unprivileged user";
    }
    const auto as_nobody = [] {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            ::_exit(2);
        }
    };
    for (const bool folder_closed : {false, true}) {
        SCOPED_TRACE(folder_closed ? "folder closed during the run" : "file the user may not read");
        TestFolder folder;
        fs::permissions(folder.path(), fs::perms::all);
        [[maybe_unused]] const int owned = ::chown(folder.path().c_str(), kNobody, kNobody);
        const auto secret = folder.Write(u"secret.txt", "secret");
        fs::permissions(secret, folder_closed ? fs::perms::all : fs::perms::owner_read | fs::perms::owner_write);
        const auto open_path = folder.Write(u"open.txt", "open");
        fs::permissions(open_path, fs::perms::all);
        const auto first = platform::ListFolderFiles(folder.path()).value().front().path;

        const auto message = RunInChild(folder, as_nobody, [&](const BatchProgress& progress) {
            if (folder_closed && progress.current_file == first) {
                fs::permissions(folder.path(), fs::perms::owner_read | fs::perms::owner_write);
            }
        });

        const auto stop = folder_closed ? first : secret;
        const auto done = PositionOf(folder, stop);
        EXPECT_TRUE(message.starts_with(StoppedAt(done, stop))) << "files done before it: " << done;
        EXPECT_NE(message.find(u"Permission denied"), std::u16string::npos);
        EXPECT_EQ(ReadBytes(secret), "secret");
        EXPECT_EQ(ReadBytes(open_path), done == 1 ? "H\r\nopen\r\nT" : "open");
        EXPECT_EQ(folder.Names(), (std::vector<std::u16string>{u"open.txt", u"secret.txt"}));
    }
}

// A pipe is not a plain file: the run passes over it. Collected names are looked up as they are: "a?.txt" is
// no pattern that would find "ab.txt".
TEST(PosixFaults, PipesAreLeftAloneAndNamesAreNoPatterns) {
    TestFolder folder;
    ASSERT_EQ(::mkfifo((folder / u"a?.txt").c_str(), 0600), 0);
    folder.Write(u"ab.txt", "ab");
    RecordingView view(folder.path().u16string(), u"H", u"T");
    RunBatch(view);
    EXPECT_EQ(view.messages, std::vector<std::u16string>{std::u16string(messages::kTaskDone)});
    EXPECT_TRUE(fs::is_fifo(folder / u"a?.txt"));
    EXPECT_EQ(folder.Read(u"ab.txt"), "H\r\nab\r\nT");
}

}  // namespace
