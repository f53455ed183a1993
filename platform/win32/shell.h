#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/win32/unique_handle.h"

// The shell operations the window needs: message box, folder browser, process launch and the skin library.
// Only the window uses them, so they take its HWND.
namespace platform {

// A modal box owned by `owner` with one OK button and no icon.
void ShowMessageBox(HWND owner, std::u16string_view text, std::u16string_view title);

// The shell's folder browser, owned by `owner`, offering file-system folders only. Nothing when the user
// cancels or the chosen item has no file-system path.
std::optional<std::u16string> BrowseForFolder(HWND owner, std::u16string_view title);

// Starts a program by command line and returns at once; whether it started is not reported.
// `show_style` is the system's window-show code for the new program's first window. The program named by
// the command line's first word is taken from the Windows folder only, never from the current folder.
void LaunchCommandLine(std::u16string_view command_line, int show_style);

// The folder that holds the running program, without a trailing separator except for a drive root.
std::u16string ProgramFolder();

// The third-party skinning library, looked for in the program's folder and the system folder only:
// a copy planted in the current folder is never loaded.
class SkinLibrary {
  public:
    // Empty when the library or its entry point is missing.
    static SkinLibrary Load();

    SkinLibrary() = default;

    // Restyles the program's windows from `skin_file`; both texts reach the library in the ANSI code page.
    // Does nothing when the library is not loaded or a text cannot be written in that code page.
    void AttachEx(std::u16string_view skin_file, std::u16string_view extra);

  private:
    using Entry = void (*)();  // the entry point's real type is known only where it is called

    UniqueModule module_;
    Entry attach_ex_ = nullptr;
};

}  // namespace platform
