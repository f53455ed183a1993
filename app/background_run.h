#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <stop_token>
#include <thread>

#include "batch/batch_run.h"

// One piece of work on the folder's files, a run or an undo, on a thread of its own, so that the window stays
// alive while it works. The worker touches no window: it publishes how far it has got in a number the window
// reads, and posts `finished` to the window once, when it has ended. Creating it throws std::system_error when
// no thread can be started.
class BackgroundRun {
  public:
    using Report = std::function<void(const BatchProgress&)>;
    // The work itself: it reports its progress through `report` and ends early once `stop` is requested.
    using Work = std::function<RunOutcome(const Report& report, std::stop_token stop)>;

    BackgroundRun(Work work, HWND window, UINT finished);
    BackgroundRun(const BackgroundRun&) = delete;
    BackgroundRun& operator=(const BackgroundRun&) = delete;

    // Percent done by bytes; it only grows.
    int percent() const { return percent_.load(std::memory_order_relaxed); }

    // Asks the work to end as soon as it safely can, for a program that is ending: the file in hand is left as
    // it was, and no file that another program holds is waited for any more.
    void RequestStop();

    // Whether the worker has ended: a `finished` message that any other program may post means nothing before.
    bool done() const { return done_.load(); }

    // Waits for the worker and answers how the work ended. Safe at any time: the worker never waits for the
    // window.
    const RunOutcome& Finish();

  private:
    void Perform(std::stop_token stop, HWND window, UINT finished);

    const Work work_;
    std::atomic<int> percent_{0};
    std::atomic<bool> done_{false};
    RunOutcome outcome_;
    std::jthread worker_;  // last: it must end before the fields it writes go
};
