#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "batch/batch_run.h"
#include "platform/console.h"

namespace cli {

// How a run ended, as the exit status tells it.
enum class RunOutcome {
    Completed,  // every file rewritten, or none to rewrite
    Refused,    // blank path or missing folder: nothing was touched
    Failed,     // stopped by a failure; the message says how far it got
};

int ExitStatusOf(RunOutcome outcome);

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
    // The completion message and the two refusals go to standard output, the failure report to standard
    // error; the message decides the outcome.
    void ShowMessage(const std::u16string& text) override;
    void ReportProgress(const BatchProgress& progress) override;
    // The line that a console stopped by Ctrl+C or a signal leaves on standard error.
    void ReportStopped(std::int64_t files_done) override;

    // Clears the progress line, if one was shown; call when the run has returned.
    void Finish();

    RunOutcome outcome() const { return outcome_; }

  private:
    void ClearProgress();

    std::u16string folder_;
    std::u16string head_;
    std::u16string tail_;
    Output output_;
    RunOutcome outcome_ = RunOutcome::Completed;

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
