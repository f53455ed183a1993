#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "platform/console.h"
#include "platform/file_system.h"

namespace platform {

// The signals are blocked in every thread (threads started later inherit the mask) and taken by one thread
// that waits for them: a signal handler could not request a stop, which is not async-signal-safe. One more
// signal, sent to that thread alone, tells it that it is no longer wanted.
struct StopRequests::Listener {
    sigset_t signals{};
    sigset_t mask_before{};
    int wake = SIGRTMIN;
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
    sigset_t blocked = listener.signals;
    sigaddset(&blocked, listener.wake);
    pthread_sigmask(SIG_BLOCK, &blocked, &listener.mask_before);
    listener.waiter = std::jthread([this, blocked](std::stop_token own) {
        Listener& state = *listener_;
        while (!own.stop_requested()) {
            const int signal = sigwaitinfo(&blocked, nullptr);
            if (signal > 0 && signal != state.wake) {
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
    Listener& listener = *listener_;
    listener.waiter.request_stop();
    if (listener.received.load() == 0) {
        pthread_kill(listener.waiter.native_handle(), listener.wake);
    }
    listener.waiter = std::jthread();
    pthread_sigmask(SIG_SETMASK, &listener.mask_before, nullptr);
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
