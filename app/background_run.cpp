#include "app/background_run.h"

#include <exception>

#include "batch/messages.h"
#include "platform/file_system.h"

BackgroundRun::BackgroundRun(BatchInputs inputs, HWND window, UINT finished)
    : worker_([this](std::stop_token stop, BatchInputs moved, HWND target,
                     UINT message) { Work(std::move(stop), std::move(moved), target, message); },
              std::move(inputs), window, finished) {}

void BackgroundRun::RequestStop() {
    worker_.request_stop();
    platform::AbandonWaits();
}

std::optional<std::u16string> BackgroundRun::Finish() {
    if (worker_.joinable()) {
        worker_.join();
    }
    return outcome_;
}

void BackgroundRun::Work(std::stop_token stop, BatchInputs inputs, HWND window, UINT finished) {
    try {
        outcome_ = RewriteFolder(
            inputs,
            [this](const BatchProgress& progress) { percent_.store(PercentDone(progress), std::memory_order_relaxed); },
            stop);
    } catch (const std::exception&) {
        // Even the report could not be put together; what was prepared ahead is gone by now.
        outcome_ = std::u16string(messages::kOutOfResources);
    }
    done_.store(true);
    PostMessageW(window, finished, 0, 0);
}
