#pragma once

#include <windows.h>

// DPI queries that exist only on newer Windows, looked up at run time so the program still starts on
// Windows 7 and 8, where every window has the system DPI.

UINT DpiOfWindow(HWND window);

// The outer rectangle of a window whose client area is `client`, for the given frame styles and DPI.
RECT FrameAroundClient(const RECT& client, DWORD style, DWORD ex_style, UINT dpi);
