#include "app/background_run.h"

#include <exception>

#include "platform/file_system.h"

BackgroundRun::BackgroundRun(Work work, HWND window, UINT finished)
    : work_(std::move(work)),
      worker_([this](std::stop_token stop, HWND target, UINT message) { Perform(std::move(stop), target, message); },
              window, finished) {}

void BackgroundRun::RequestStop() {
    worker_.request_stop();
    platform::AbandonWaits();
}

const RunOutcome& BackgroundRun::Finish() {
    if (worker_.joinable()) {
        worker_.join();
    }
    return outcome_;
}

void BackgroundRun::Perform(std::stop_token stop, HWND window, UINT finished) {
    try {
        outcome_ = work_(
            [this](const BatchProgress& progress) { percent_.store(PercentDone(progress), std::memory_order_relaxed); },
            stop);
    } catch (const std::exception&) {
        // Even the report could not be put together; what was prepared ahead is gone by now.
        outcome_ = FailedRun(0, platform::Path(), WriteProblem::OutOfResources);
    }
    done_.store(true);
    PostMessageW(window, finished, 0, 0);
}
