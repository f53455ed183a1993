#include "platform/posix/background_close.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <stop_token>
#include <thread>

namespace platform {
namespace {

class BackgroundCloser {
  public:
    void Add(UniqueFd fd) {
        const std::lock_guard lock(mutex_);
        if (pending_.size() >= kMostPending) {
            return;  // closed here, as `fd` goes
        }
        pending_.push_back(std::move(fd));
        if (!thread_.joinable()) {
            thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
        }
        work_.notify_one();
    }

    bool Finish() {
        std::unique_lock lock(mutex_);
        const bool any = !pending_.empty() || closing_;
        done_.wait(lock, [&] { return pending_.empty() && !closing_; });
        return any;
    }

  private:
    // Enough to ride out a slow close or two; each holds a descriptor and the room its file takes on disk.
    static constexpr std::size_t kMostPending = 32;

    // Ends, once asked to, with nothing left to close.
    void Run(std::stop_token stop) {
        std::unique_lock lock(mutex_);
        while (work_.wait(lock, stop, [&] { return !pending_.empty(); })) {
            UniqueFd fd = std::move(pending_.front());
            pending_.pop_front();
            closing_ = true;
            lock.unlock();
            fd.Reset();
            lock.lock();
            closing_ = false;
            done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable_any work_;
    std::condition_variable done_;
    std::deque<UniqueFd> pending_;
    bool closing_ = false;
    std::jthread thread_;  // last: stopped and joined before the rest goes
};

BackgroundCloser& Closer() {
    static BackgroundCloser closer;
    return closer;
}

}  // namespace

void CloseInBackground(UniqueFd fd) {
    Closer().Add(std::move(fd));
}

bool FinishBackgroundCloses() {
    return Closer().Finish();
}

}  // namespace platform
