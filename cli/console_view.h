#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "batch/batch_run.h"
#include "platform/console.h"

namespace cli {

// `text` with a message box's CR LF line breaks as console lines, ending in "\n".
std::u16string ConsoleLines(std::u16string_view text);

// The exit status that tells how a run ended.
int ExitStatusOf(OutcomeKind kind);

// The window of the batch run, played by a console: the three texts come from the command line, the
// controls have nothing to show, messages are printed, and progress goes to one line of standard error.
class ConsoleView final : public BatchView {
  public:
    using Clock = std::chrono::steady_clock;

    // Where the view's text goes; the defaults in MakeConsoleOutput are the real console.
    struct Output {
        std::function<void(platform::ConsoleStream, std::u16string_view)> write;
        bool progress_wanted = false;  // standard error is a terminal that someone watches
        std::function<Clock::time_point()> now;
    };

    ConsoleView(std::u16string folder, std::u16string head, std::u16string tail, Output output);

    std::u16string ReadText(BatchText box) override;
    void SetEnabled(BatchControl, bool) override {}
    // The completion message and the two refusals go to standard output; the failure report, and the line
    // that a run stopped by Ctrl+C or a signal leaves, to standard error.
    void ShowOutcome(const RunOutcome& outcome) override;
    void ReportProgress(const BatchProgress& progress) override;

    // Clears the progress line, if one was shown; call when the run has returned.
    void Finish();

    OutcomeKind outcome() const { return outcome_; }

  private:
    void ClearProgress();

    std::u16string folder_;
    std::u16string head_;
    std::u16string tail_;
    Output output_;
    OutcomeKind outcome_ = OutcomeKind::Completed;

    Clock::time_point started_;
    Clock::time_point last_shown_{};
    bool progress_shown_ = false;
    std::int64_t last_files_done_ = 0;
    std::uint64_t finished_bytes_ = 0;  // former content of the files already done
    std::uint64_t current_bytes_ = 0;
};

// The real console: standard output and error, progress only when standard error is a terminal.
ConsoleView::Output MakeConsoleOutput();

}  // namespace cli
