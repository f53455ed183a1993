#include "window_driver.h"

#include <memory>
#include <thread>

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

constexpr UINT kSendTimeoutMs = 5000;

HWND FindTopLevel(DWORD thread_id, const std::function<bool(HWND)>& wanted) {
    struct Search {
        const std::function<bool(HWND)>* wanted;
        HWND found;
    } search{&wanted, nullptr};
    EnumThreadWindows(
        thread_id,
        [](HWND window, LPARAM context) CALLBACK -> BOOL {
            auto* search = reinterpret_cast<Search*>(context);
            if ((*search->wanted)(window)) {
                search->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> ChildrenOf(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

std::wstring EnvironmentText(const wchar_t* name) {
    std::wstring value(32768, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
    return value;
}

std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) {
        return L"<no answer>";
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                        kSendTimeoutMs, &copied);
    text.resize(copied);
    return text;
}

void SetTextOf(HWND window, const std::wstring& text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, kSendTimeoutMs,
                        &result);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

RECT RectIn(HWND parent, HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void Click(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

void PressKey(HWND window, UINT virtual_key) {
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(window, WM_KEYDOWN, virtual_key, scan | 1);
    PostMessageW(window, WM_KEYUP, virtual_key, scan | 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
}

void TypeText(HWND window, const std::wstring& text) {
    for (const wchar_t character : text) {
        PostMessageW(window, WM_CHAR, character, 1);
    }
}

HWND ModalWindow::ChildWithId(int id) const {
    for (const HWND child : children) {
        if (GetDlgCtrlID(child) == id) {
            return child;
        }
    }
    return nullptr;
}

HWND ModalWindow::ChildWithText(const std::wstring& text) const {
    for (const HWND child : children) {
        if (TextOf(child) == text) {
            return child;
        }
    }
    return nullptr;
}

RunningProgram::RunningProgram(const std::wstring& program, const std::wstring& working_folder,
                               const std::wstring& caption) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    std::wstring command_line = L"\"" + program + L"\"";
    if (!CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        working_folder.c_str(), &startup, &process)) {
        return;
    }
    CloseHandle(process.hThread);
    process_ = process.hProcess;
    process_id_ = process.dwProcessId;
    WaitUntil(
        [&] {
            HWND found = nullptr;
            while ((found = FindWindowExW(nullptr, found, nullptr, caption.c_str())) != nullptr) {
                DWORD owner_process = 0;
                const DWORD thread = GetWindowThreadProcessId(found, &owner_process);
                if (owner_process == process_id_ && IsWindowVisible(found)) {
                    window_ = found;
                    thread_id_ = thread;
                    return true;
                }
            }
            return false;
        },
        20s);
}

RunningProgram::~RunningProgram() {
    if (process_ == nullptr) {
        return;
    }
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        // Modal boxes first, then the window itself; a program that will not go is ended.
        while (const HWND modal = WaitForModal(0ms).window) {
            PostMessageW(modal, WM_CLOSE, 0, 0);
            WaitForModalToClose(modal, 2s);
            if (IsWindow(modal)) {
                break;
            }
        }
        if (IsWindow(window_)) {
            PostMessageW(window_, WM_CLOSE, 0, 0);
        }
        if (WaitForSingleObject(process_, 5000) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, 5000);
        }
    }
    CloseHandle(process_);
}

HWND RunningProgram::ChildWithCaption(const std::wstring& caption) const {
    for (const HWND child : ChildrenOf(window_)) {
        if (TextOf(child) == caption) {
            return child;
        }
    }
    return nullptr;
}

std::vector<HWND> RunningProgram::TabStops() const {
    std::vector<HWND> stops;
    const HWND first = GetNextDlgTabItem(window_, nullptr, FALSE);
    for (HWND stop = first; stop != nullptr && stops.size() <= 16;) {
        stops.push_back(stop);
        stop = GetNextDlgTabItem(window_, stop, FALSE);
        if (stop == first) {
            break;
        }
    }
    return stops;
}

HWND RunningProgram::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread_id_, &info) ? info.hwndFocus : nullptr;
}

ModalWindow RunningProgram::WaitForModal(std::chrono::milliseconds limit) const {
    ModalWindow modal;
    WaitUntil(
        [&] {
            modal.window = FindTopLevel(thread_id_, [&](HWND window) {
                return window != window_ && GetWindow(window, GW_OWNER) == window_ && IsWindowVisible(window) &&
                       ClassOf(window) == L"#32770";
            });
            return modal.window != nullptr;
        },
        limit);
    if (modal.window != nullptr) {
        modal.caption = TextOf(modal.window);
        modal.children = ChildrenOf(modal.window);
    }
    return modal;
}

bool RunningProgram::WaitForModalToClose(HWND modal, std::chrono::milliseconds limit) const {
    return WaitUntil([&] { return !IsWindow(modal) || !IsWindowVisible(modal); }, limit);
}

bool RunningProgram::WaitForExit(std::chrono::milliseconds limit, DWORD* exit_code) {
    if (process_ == nullptr || WaitForSingleObject(process_, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
        return false;
    }
    if (exit_code != nullptr) {
        GetExitCodeProcess(process_, exit_code);
    }
    return true;
}

std::string ReadFileBytes(const std::wstring& path) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return "<cannot open>";
    }
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string Encode(const std::wstring& text, UINT code_page) {
    if (text.empty()) {
        return {};
    }
    const int size =
        WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::vector<std::wstring> ListingOrder(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            names.push_back(entry.cFileName);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

bool SaveWindowPicture(HWND window, const std::wstring& path) {
    RECT area{};
    GetWindowRect(window, &area);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;  // bottom row first, as a BMP file stores it
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~DWORD{3};
    header.biSizeImage = stride * static_cast<DWORD>(height);

    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    const HBITMAP bitmap =
        CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memory, previous);

    BITMAPFILEHEADER file_header{};
    file_header.bfType = 0x4D42;  // "BM"
    file_header.bfOffBits = sizeof file_header + sizeof header;
    file_header.bfSize = file_header.bfOffBits + header.biSizeImage;
    std::string bytes(reinterpret_cast<const char*>(&file_header), sizeof file_header);
    bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
    bytes.append(static_cast<const char*>(bits), header.biSizeImage);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (copied) {
        WriteFileBytes(path, bytes);
    }
    return copied;
}
