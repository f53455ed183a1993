#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// Drives the running program from outside, the way a user does: it finds windows by caption, reads and
// sets their texts, presses buttons and keys. Nothing here knows the program's code.

using namespace std::chrono_literals;

// Polls `done` until it holds or `limit` passes; true when it held.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s);

std::wstring EnvironmentText(const wchar_t* name);

// Text of a window of another process (WM_GETTEXT, which the system carries across processes).
std::wstring TextOf(HWND window);
void SetTextOf(HWND window, const std::wstring& text);
std::wstring ClassOf(HWND window);
// The window's rectangle in the client coordinates of `parent`.
RECT RectIn(HWND parent, HWND child);

// A button press as the button itself performs it; posted, since the click may open a modal box.
void Click(HWND button);
// Keys and characters, posted to the program's message queue as the keyboard would deliver them.
void PressKey(HWND window, UINT virtual_key);
void TypeText(HWND window, const std::wstring& text);

// A modal box or dialog of the program, found among its thread's top-level windows.
struct ModalWindow {
    HWND window = nullptr;
    std::wstring caption;
    // The static texts and buttons inside it.
    std::vector<HWND> children;

    HWND ChildWithId(int id) const;
    HWND ChildWithText(const std::wstring& text) const;
};

// The program started in its own process, and its main window.
class RunningProgram {
  public:
    // Starts `program` in `working_folder` and waits for its window captioned `caption` to appear.
    RunningProgram(const std::wstring& program, const std::wstring& working_folder, const std::wstring& caption);
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;
    // Closes the program if it still runs.
    ~RunningProgram();

    HWND window() const { return window_; }
    DWORD thread_id() const { return thread_id_; }

    // The window's child with this caption.
    HWND ChildWithCaption(const std::wstring& caption) const;
    // The controls that take the focus, in the order Tab visits them, starting from the first.
    std::vector<HWND> TabStops() const;
    HWND Focus() const;

    // Waits for a modal window owned by the main window; its window is null when none came.
    ModalWindow WaitForModal(std::chrono::milliseconds limit = 15s) const;
    bool WaitForModalToClose(HWND modal, std::chrono::milliseconds limit = 10s) const;

    // Waits for the process to end; its exit code, or nothing on time-out.
    bool WaitForExit(std::chrono::milliseconds limit, DWORD* exit_code = nullptr);

  private:
    HANDLE process_ = nullptr;
    DWORD process_id_ = 0;
    DWORD thread_id_ = 0;
    HWND window_ = nullptr;
};

// Bytes of files and text in a given code page, for exact comparisons of file content.
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string Encode(const std::wstring& text, UINT code_page);

// Names in the order the file system lists the folder, as a program enumerating it sees them.
std::vector<std::wstring> ListingOrder(const std::wstring& folder);

// Saves the screen area of `window` as a 24-bit BMP file.
bool SaveWindowPicture(HWND window, const std::wstring& path);
