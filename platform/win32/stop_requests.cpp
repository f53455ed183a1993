#include <windows.h>

#include <atomic>

#include "platform/console.h"
#include "platform/file_system.h"

namespace platform {
namespace {

// The console calls the handler on a thread of its own, with no context: the stop it requests is kept here.
std::atomic<std::stop_source*> stop_wanted{nullptr};

BOOL WINAPI OnConsoleControl(DWORD) {
    std::stop_source* const stop = stop_wanted.load();
    if (stop == nullptr) {
        return FALSE;  // the run is over: the default handler ends the process
    }
    AbandonWaits();
    stop->request_stop();
    // Returning would end the process now for a closed console, logoff and shutdown; the program ends it
    // itself once the run has stopped, and the system after a few seconds at the latest.
    Sleep(INFINITE);
    return TRUE;
}

}  // namespace

struct StopRequests::Listener {};

StopRequests::StopRequests() {
    stop_wanted.store(&stop_);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

StopRequests::~StopRequests() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    stop_wanted.store(nullptr);
}

void StopRequests::EndAsRequested() {
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

}  // namespace platform
