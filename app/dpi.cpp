#include "app/dpi.h"

#include "platform/win32/unique_handle.h"

namespace {

void ReleaseScreenDc(HDC dc) {
    ReleaseDC(nullptr, dc);
}
using UniqueScreenDc = platform::UniqueHandle<HDC, &ReleaseScreenDc>;

struct DpiFunctions {
    UINT(WINAPI* get_dpi_for_window)(HWND) = nullptr;
    BOOL(WINAPI* adjust_window_rect_ex_for_dpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;
};

template <typename Function>
void Find(HMODULE module, const char* name, Function& function) {
    // Through void(*)() because GCC warns on a direct cast between unrelated function types.
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

const DpiFunctions& Functions() {
    static const DpiFunctions functions = [] {
        DpiFunctions found;
        const HMODULE user32 = GetModuleHandleW(L"user32.dll");
        Find(user32, "GetDpiForWindow", found.get_dpi_for_window);
        Find(user32, "AdjustWindowRectExForDpi", found.adjust_window_rect_ex_for_dpi);
        return found;
    }();
    return functions;
}

}  // namespace

UINT DpiOfWindow(HWND window) {
    if (Functions().get_dpi_for_window != nullptr) {
        return Functions().get_dpi_for_window(window);
    }
    const UniqueScreenDc screen(GetDC(nullptr));
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

RECT FrameAroundClient(const RECT& client, DWORD style, DWORD ex_style, UINT dpi) {
    RECT frame = client;
    if (Functions().adjust_window_rect_ex_for_dpi != nullptr) {
        Functions().adjust_window_rect_ex_for_dpi(&frame, style, FALSE, ex_style, dpi);
    } else {
        AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    }
    return frame;
}
