#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "platform/console.h"
#include "platform/file_system.h"

namespace platform {

// The signals are blocked in every thread (threads started later inherit the mask) and taken by one thread
// that waits for them: a signal handler could not request a stop, which is not async-signal-safe.
struct StopRequests::Listener {
    sigset_t signals{};
    sigset_t mask_before{};
    std::atomic<int> received{0};
    std::jthread waiter;
};

StopRequests::StopRequests() : listener_(std::make_unique<Listener>()) {
    Listener& listener = *listener_;
    sigemptyset(&listener.signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        // nohup, or a shell starting a background job, ignores some of them on purpose.
        if (sigaction(signal, nullptr, &action) == 0 && action.sa_handler != SIG_IGN) {
            sigaddset(&listener.signals, signal);
        }
    }
    pthread_sigmask(SIG_BLOCK, &listener.signals, &listener.mask_before);
    listener.waiter = std::jthread([this](std::stop_token own) {
        Listener& state = *listener_;
        const timespec tick{0, 100'000'000};  // how soon the waiter notices that it is no longer wanted
        while (!own.stop_requested()) {
            const int signal = sigtimedwait(&state.signals, nullptr, &tick);
            if (signal > 0) {
                state.received.store(signal);
                AbandonWaits();
                stop_.request_stop();
                return;
            }
        }
    });
}

// A signal that comes after the waiter has gone stays pending until the mask is restored, and then does
// what it does to any program.
StopRequests::~StopRequests() {
    listener_->waiter = std::jthread();
    pthread_sigmask(SIG_SETMASK, &listener_->mask_before, nullptr);
}

void StopRequests::EndAsRequested() {
    const int signal = listener_->received.load();
    ::signal(signal, SIG_DFL);
    sigset_t only{};
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    _exit(128 + signal);  // not reached: the default action of all three ends the process
}

}  // namespace platform
