#include "cli/console_view.h"

#include <algorithm>
#include <utility>

#include "batch/messages.h"
#include "cli/progress_line.h"

namespace cli {
namespace {

using namespace std::chrono_literals;

constexpr auto kQuietStart = 1s;          // a run shorter than this shows no progress at all
constexpr auto kRefreshInterval = 200ms;  // redrawing more often only costs time
constexpr int kProgressColumns = 79;      // fits the narrowest usual console without wrapping

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

}  // namespace

int ExitStatusOf(RunOutcome outcome) {
    return outcome == RunOutcome::Completed ? 0 : 1;
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

void ConsoleView::ShowMessage(const std::u16string& text) {
    ClearProgress();
    auto stream = platform::ConsoleStream::Output;
    if (text == messages::kTaskDone) {
        outcome_ = RunOutcome::Completed;
    } else if (text == messages::kSetPathFirst || text == messages::kPathMissing) {
        outcome_ = RunOutcome::Refused;
    } else {
        // The failure report, or a message this front end does not know: either way the run did not finish.
        outcome_ = RunOutcome::Failed;
        stream = platform::ConsoleStream::Error;
    }
    output_.write(stream, ConsoleLines(text));
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

void ConsoleView::ReportStopped(std::int64_t files_done) {
    ClearProgress();
    const std::string digits = std::to_string(files_done);
    const std::u16string count(digits.begin(), digits.end());
    output_.write(platform::ConsoleStream::Error,
                  u"已停止 / stopped: 已完成 " + count + u" 个文件 / " + count + u" files done\n");
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
    output.write = platform::WriteConsoleText;
    output.progress_wanted = platform::IsTerminal(platform::ConsoleStream::Error);
    output.now = [] { return ConsoleView::Clock::now(); };
    return output;
}

}  // namespace cli
