#include "cli/console_view.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "cli/progress_line.h"
#include "cli/run_command_line.h"

namespace cli {
namespace {

using namespace std::chrono_literals;

constexpr auto kQuietStart = 1s;          // a run shorter than this shows no progress at all
constexpr auto kRefreshInterval = 200ms;  // redrawing more often only costs time
constexpr int kProgressColumns = 79;      // fits the narrowest usual console without wrapping

// Where the text of each kind of outcome goes, and the exit status it gives.
struct OutcomeRoute {
    OutcomeKind kind;
    platform::ConsoleStream stream;
    int exit_status;
};
constexpr OutcomeRoute kOutcomeRoutes[] = {
    {OutcomeKind::Completed, platform::ConsoleStream::Output, kExitCompleted},
    {OutcomeKind::Unconfirmed, platform::ConsoleStream::Error, kExitRunFailed},
    {OutcomeKind::NothingToDo, platform::ConsoleStream::Output, kExitCompleted},
    {OutcomeKind::Refused, platform::ConsoleStream::Output, kExitRunFailed},
    {OutcomeKind::Failed, platform::ConsoleStream::Error, kExitRunFailed},
    {OutcomeKind::Stopped, platform::ConsoleStream::Error, kExitRunFailed},
    {OutcomeKind::ListRefused, platform::ConsoleStream::Error, kExitRunFailed},
};

// The window shows nothing for a run the user stopped; a console says how far it got.
std::u16string StoppedLine(std::int64_t files_done) {
    const std::u16string count = CountText(files_done);
    return u"已停止 / stopped: 已完成 " + count + u" 个文件 / " + count + u" files done";
}

const OutcomeRoute& RouteOf(OutcomeKind kind) {
    return *std::find_if(std::begin(kOutcomeRoutes), std::end(kOutcomeRoutes),
                         [&](const OutcomeRoute& route) { return route.kind == kind; });
}

}  // namespace

// Message boxes break lines with CR LF; a console line ends with "\n".
std::u16string ConsoleLines(std::u16string_view text) {
    std::u16string lines;
    lines.reserve(text.size() + 1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            continue;
        }
        lines += text[i];
    }
    lines += u'\n';
    return lines;
}

int ExitStatusOf(OutcomeKind kind) {
    return RouteOf(kind).exit_status;
}

ConsoleView::ConsoleView(std::u16string folder, std::u16string head, std::u16string tail, Output output)
    : folder_(std::move(folder)),
      head_(std::move(head)),
      tail_(std::move(tail)),
      output_(std::move(output)),
      started_(output_.now()) {}

std::u16string ConsoleView::ReadText(BatchText box) {
    switch (box) {
        case BatchText::Text1:
            return folder_;
        case BatchText::Text2:
            return head_;
        case BatchText::Text3:
            return tail_;
    }
    return {};
}

void ConsoleView::ShowOutcome(const RunOutcome& outcome) {
    ClearProgress();
    outcome_ = outcome.kind;
    if (const auto text =
            outcome.kind == OutcomeKind::Stopped ? StoppedLine(outcome.files_done) : OutcomeText(outcome)) {
        output_.write(RouteOf(outcome.kind).stream, ConsoleLines(*text));
    }
}

void ConsoleView::ReportProgress(const BatchProgress& progress) {
    if (!output_.progress_wanted) {
        return;
    }
    if (progress.files_done != last_files_done_) {
        finished_bytes_ += current_bytes_;
        current_bytes_ = 0;
        last_files_done_ = progress.files_done;
    }
    current_bytes_ = progress.bytes_done;

    const Clock::time_point now = output_.now();
    if (now - started_ < kQuietStart || (progress_shown_ && now - last_shown_ < kRefreshInterval)) {
        return;
    }
    last_shown_ = now;
    progress_shown_ = true;
    const std::u16string file_name = platform::PathText(progress.current_file.filename());
    std::u16string line = FormatProgress(progress.files_done, progress.file_count, finished_bytes_ + current_bytes_,
                                         file_name, kProgressColumns);
    // Pad over whatever the previous, longer line left behind.
    line.append(static_cast<std::size_t>(std::max(0, kProgressColumns - DisplayColumns(line))), u' ');
    output_.write(platform::ConsoleStream::Error, u"\r" + line);
}

void ConsoleView::Finish() {
    ClearProgress();
}

void ConsoleView::ClearProgress() {
    if (!progress_shown_) {
        return;
    }
    progress_shown_ = false;
    output_.write(platform::ConsoleStream::Error, u"\r" + std::u16string(kProgressColumns, u' ') + u"\r");
}

ConsoleView::Output MakeConsoleOutput() {
    ConsoleView::Output output;
    output.write = [](platform::ConsoleStream stream, std::u16string_view text) {
        platform::WriteConsoleText(stream, text);
    };
    output.progress_wanted = platform::IsTerminal(platform::ConsoleStream::Error);
    output.now = [] { return ConsoleView::Clock::now(); };
    return output;
}

}  // namespace cli
