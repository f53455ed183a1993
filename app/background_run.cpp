#include "app/background_run.h"

#include "platform/file_system.h"

BackgroundRun::BackgroundRun(RunInputs inputs, HWND window, UINT finished)
    : inputs_(std::move(inputs)),
      worker_([this](std::stop_token stop, HWND target, UINT message) { Work(std::move(stop), target, message); },
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

void BackgroundRun::Work(std::stop_token stop, HWND window, UINT finished) {
    outcome_ = RewriteFolder(
        inputs_,
        [this](const BatchProgress& progress) { percent_.store(PercentDone(progress), std::memory_order_relaxed); },
        stop);
    PostMessageW(window, finished, 0, 0);
}
