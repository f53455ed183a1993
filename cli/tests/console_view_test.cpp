#include "cli/console_view.h"

#include <gtest/gtest.h>

#include <vector>

#include "batch/messages.h"

namespace {

using namespace std::chrono_literals;
using cli::ConsoleView;
using cli::RunOutcome;
using platform::ConsoleStream;

// A console that records what is written where, with a clock the test moves by hand.
struct FakeConsole {
    std::u16string out;
    std::u16string err;
    ConsoleView::Clock::time_point now{};

    ConsoleView::Output Output(bool progress_wanted) {
        ConsoleView::Output output;
        output.write = [this](ConsoleStream stream, std::u16string_view text) {
            (stream == ConsoleStream::Output ? out : err) += text;
        };
        output.progress_wanted = progress_wanted;
        output.now = [this] { return now; };
        return output;
    }
};

BatchProgress Progress(std::int64_t done, std::int64_t count, std::uint64_t bytes, std::u16string_view name) {
    BatchProgress progress;
    progress.files_done = done;
    progress.file_count = count;
    progress.bytes_done = bytes;
    progress.current_file = platform::Path(u"folder") / std::u16string(name);
    return progress;
}

TEST(ConsoleViewTest, ReadsTheCommandLineTexts) {
    FakeConsole console;
    ConsoleView view(u" folder ", u"头", u"尾", console.Output(false));
    EXPECT_EQ(view.ReadText(BatchText::Text1), u" folder ");
    EXPECT_EQ(view.ReadText(BatchText::Text2), u"头");
    EXPECT_EQ(view.ReadText(BatchText::Text3), u"尾");
}

TEST(ConsoleViewTest, MessagesGoWhereTheyBelongAndDecideTheExitStatus) {
    struct Case {
        std::u16string message;
        std::u16string out;
        std::u16string err;
        RunOutcome outcome;
        int exit_status;
    };
    const std::u16string failure = std::u16string(messages::kStoppedBefore) + u"2" +
                                   std::u16string(messages::kStoppedAfter) + u"\r\n/x/c.txt\r\nPermission denied";
    const Case cases[] = {
        {std::u16string(messages::kTaskDone), u"任务完成！\n", u"", RunOutcome::Completed, 0},
        {std::u16string(messages::kSetPathFirst), u"请先设定路径！\n", u"", RunOutcome::Refused, 1},
        {std::u16string(messages::kPathMissing), u"该路径不存在！\n", u"", RunOutcome::Refused, 1},
        {failure, u"", u"处理中断，已完成 2 个文件，其余文件未改动。\n/x/c.txt\nPermission denied\n",
         RunOutcome::Failed, 1},
    };
    for (const Case& c : cases) {
        FakeConsole console;
        ConsoleView view(u"f", u"", u"", console.Output(false));
        view.ShowMessage(c.message);
        view.Finish();
        EXPECT_EQ(console.out, c.out);
        EXPECT_EQ(console.err, c.err);
        EXPECT_EQ(view.outcome(), c.outcome);
        EXPECT_EQ(cli::ExitStatusOf(view.outcome()), c.exit_status);
    }
}

TEST(ConsoleViewTest, ARunWithoutAnyMessageCompleted) {
    FakeConsole console;
    ConsoleView view(u"f", u"", u"", console.Output(true));
    view.ReportProgress(Progress(0, 0, 0, u"a.txt"));
    view.Finish();
    EXPECT_EQ(cli::ExitStatusOf(view.outcome()), 0);
    EXPECT_EQ(console.out + console.err, u"");
}

TEST(ConsoleViewTest, ProgressAppearsAfterASecondIsThrottledAndIsCleared) {
    FakeConsole console;
    ConsoleView view(u"f", u"", u"", console.Output(true));
    view.ReportProgress(Progress(0, 3, 0, u"a.txt"));
    console.now += 999ms;
    view.ReportProgress(Progress(0, 3, 4096, u"a.txt"));
    EXPECT_EQ(console.err, u"") << "a short run shows nothing";

    console.now += 2ms;
    view.ReportProgress(Progress(1, 3, 0, u"b.txt"));
    const std::u16string first = u"\r" + std::u16string(u"1/3  4.0 KiB  b.txt").append(79 - 19, u' ');
    EXPECT_EQ(console.err, first);

    console.now += 100ms;
    view.ReportProgress(Progress(1, 3, 1024, u"b.txt"));
    EXPECT_EQ(console.err, first) << "redrawn at most five times a second";

    console.now += 100ms;
    view.ReportProgress(Progress(2, 3, 2048, u"笔记.txt"));  // b.txt ended at 1 KiB
    EXPECT_EQ(console.err.substr(first.size()),
              u"\r" + std::u16string(u"2/3  7.0 KiB  笔记.txt").append(79 - 22, u' '));

    view.ShowMessage(std::u16string(messages::kTaskDone));
    EXPECT_TRUE(console.err.ends_with(u"\r" + std::u16string(79, u' ') + u"\r")) << "cleared before the message";
    const std::size_t length = console.err.size();
    view.Finish();
    EXPECT_EQ(console.err.size(), length) << "cleared only once";
    EXPECT_EQ(console.out, u"任务完成！\n");
}

TEST(ConsoleViewTest, NoProgressWhenStandardErrorIsNotATerminal) {
    FakeConsole console;
    ConsoleView view(u"f", u"", u"", console.Output(false));
    for (int i = 0; i < 50; ++i) {
        console.now += 500ms;
        view.ReportProgress(Progress(i, 50, 100, u"a.txt"));
    }
    view.Finish();
    EXPECT_EQ(console.err, u"");
}

}  // namespace
