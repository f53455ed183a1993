#pragma once

#include <windows.h>

#include <shobjidl.h>

#include <memory>

// The progress bar on the window's taskbar button (Windows 7 and later). The taskbar says when the button
// exists with its registered "TaskbarButtonCreated" message, again after Explorer restarts; until then, and
// where there is no such taskbar, showing progress does nothing.
class TaskbarProgress {
  public:
    static UINT ButtonCreatedMessage();

    // On "TaskbarButtonCreated": takes hold of the taskbar anew.
    void Connect();
    void Show(HWND window, int percent);
    void Clear(HWND window);

  private:
    struct Releaser {
        void operator()(ITaskbarList3* taskbar) const { taskbar->Release(); }
    };
    std::unique_ptr<ITaskbarList3, Releaser> taskbar_;
};
