#include "app/taskbar_progress.h"

UINT TaskbarProgress::ButtonCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
    return message;
}

void TaskbarProgress::Connect() {
    ITaskbarList3* taskbar = nullptr;
    taskbar_.reset();
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&taskbar)))) {
        return;
    }
    taskbar_.reset(taskbar);
    if (FAILED(taskbar_->HrInit())) {
        taskbar_.reset();
    }
}

void TaskbarProgress::Show(HWND window, int percent) {
    if (taskbar_) {
        taskbar_->SetProgressValue(window, static_cast<ULONGLONG>(percent), 100);
    }
}

void TaskbarProgress::Clear(HWND window) {
    if (taskbar_) {
        taskbar_->SetProgressState(window, TBPF_NOPROGRESS);
    }
}
