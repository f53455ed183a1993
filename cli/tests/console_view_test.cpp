#include "cli/console_view.h"

#include <gtest/gtest.h>

// The progress line, which only a terminal shows and so no test of the program as a process can see.
// Where messages go and the exit statuses are cli_process_test's.

namespace {

using namespace std::chrono_literals;
using cli::ConsoleView;

BatchProgress Progress(std::int64_t done, std::uint64_t bytes, std::u16string_view name) {
    return BatchProgress{done, 3, bytes, platform::Path(u"folder") / std::u16string(name)};
}

TEST(ConsoleView, ProgressOnATerminalAppearsAfterASecondIsThrottledAndIsCleared) {
    // A console that records what is written, with a clock the test moves by hand.
    std::u16string out, err;
    ConsoleView::Clock::time_point now{};
    const auto view_of = [&](bool terminal) {
        ConsoleView::Output output;
        output.write = [&](platform::ConsoleStream stream, std::u16string_view text) {
            (stream == platform::ConsoleStream::Output ? out : err) += text;
        };
        output.progress_wanted = terminal;
        output.now = [&] { return now; };
        return ConsoleView(u"f", u"", u"", output);
    };
    ConsoleView view = view_of(true);
    view.ReportProgress(Progress(0, 0, u"a.txt"));
    now += 999ms;
    view.ReportProgress(Progress(0, 4096, u"a.txt"));
    EXPECT_EQ(err, u"") << "a short run shows nothing";

    now += 2ms;
    view.ReportProgress(Progress(1, 0, u"b.txt"));
    const std::u16string first = u"\r" + std::u16string(u"1/3  4.0 KiB  b.txt").append(79 - 19, u' ');
    EXPECT_EQ(err, first);

    now += 100ms;
    view.ReportProgress(Progress(1, 1024, u"b.txt"));
    EXPECT_EQ(err, first) << "redrawn at most five times a second";

    now += 100ms;
    view.ReportProgress(Progress(2, 2048, u"笔记.txt"));  // b.txt ended at 1 KiB
    EXPECT_EQ(err.substr(first.size()), u"\r" + std::u16string(u"2/3  7.0 KiB  笔记.txt").append(79 - 22, u' '));

    view.ShowOutcome(RunOutcome{});
    EXPECT_TRUE(err.ends_with(u"\r" + std::u16string(79, u' ') + u"\r")) << "cleared before the message";
    const std::size_t length = err.size();
    view.Finish();
    EXPECT_EQ(err.size(), length) << "cleared only once";

    ConsoleView quiet = view_of(false);  // where standard error is no terminal, never
    now += 2s;
    quiet.ReportProgress(Progress(1, 100, u"a.txt"));
    EXPECT_EQ(err.size(), length);
}

}  // namespace
