// The window program end to end: started as a user starts it and driven from outside only through its windows,
// the way a user does: windows found by caption, texts read and set, buttons and keys pressed. Nothing here
// knows the program's code.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/version.h"

namespace {

using namespace std::chrono_literals;

// The version is app/version.h's, the one place it is set.
constexpr wchar_t kCaption[] = L"Varnotta " VARNOTTA_VERSION "      www.varnotta.example";
constexpr wchar_t kHomePage[] = L"https://www.varnotta.example/";

struct ExpectedControl {
    const wchar_t* window_class;
    const wchar_t* caption;         // empty for the text boxes
    LONG left, top, width, height;  // twips
};

// The window's children in the order they are stacked, which is also the order Tab visits those it stops at.
constexpr std::array<ExpectedControl, 10> kExpected{{
    {L"Edit", L"", 1320, 360, 3855, 285},
    {L"Button", L"浏 览", 5400, 360, 1215, 375},
    {L"Edit", L"", 1320, 1080, 3855, 1335},
    {L"Edit", L"", 1320, 2640, 3855, 1335},
    {L"Button", L"清 空", 5400, 1200, 1215, 375},
    {L"Button", L"开 始", 5400, 2040, 1215, 375},
    {L"Static", L"头部内容:", 120, 1080, 855, 495},
    {L"Static", L"尾部内容:", 240, 2640, 855, 495},
    {L"Static", L"TXT文件目录:", 120, 360, 1215, 255},
    {L"Button", L"退 出", 5400, 2760, 1215, 375},
}};

// Polls `done` until it holds or `limit` passes; true when it held.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    for (const auto end = std::chrono::steady_clock::now() + limit; !done(); std::this_thread::sleep_for(50ms)) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
    }
    return true;
}

std::wstring EnvironmentText(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value != nullptr ? value : L"";
}

std::wstring Scratch() {
    return EnvironmentText(L"VARNOTTA_E2E_FOLDER");
}

// The display's dots per inch in this run: 96 unless the run sets another.
int Dpi() {
    const std::wstring dpi = EnvironmentText(L"VARNOTTA_EXPECTED_DPI");
    return dpi.empty() ? 96 : std::stoi(dpi);
}

// Where a length in twips must land in pixels: 1440 twips to an inch, so twips / 15 at 96 DPI.
LONG Pixels(LONG twips) {
    return MulDiv(twips, Dpi(), 1440);
}

// Text of a window of another process (WM_GETTEXT, which the system carries across processes).
std::wstring TextOf(HWND window) {
    std::wstring text(32768, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             5000, &copied)) {
        return L"<no answer>";
    }
    text.resize(copied);
    return text;
}

void SetTextOf(HWND window, const std::wstring& text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000, &result);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::vector<HWND> ChildrenOf(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

// A button press as the button itself performs it; posted, since the click may open a modal box.
void Click(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

// Keys and characters, posted to the program's message queue as the keyboard would deliver them.
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

bool WaitToClose(HWND window, std::chrono::milliseconds limit = 10s) {
    return WaitUntil([&] { return !IsWindowVisible(window); }, limit);
}

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return file ? std::string(std::istreambuf_iterator<char>(file), {}) : "<cannot open>";
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream(std::filesystem::path(path), std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Encode(const std::wstring& text, UINT code_page = 936) {
    const int size =
        WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

// Names of the files in the order the file system lists the folder, as a program enumerating it sees them.
std::vector<std::wstring> ListingOrder(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            names.push_back(entry.path().filename().wstring());
        }
    }
    return names;
}

// Saves the screen area of `window` as a 24-bit BMP file.
bool SaveWindowPicture(HWND window, const std::wstring& path) {
    RECT area{};
    GetWindowRect(window, &area);
    const LONG width = area.right - area.left, height = area.bottom - area.top;
    // Bottom row first, as a BMP file stores it; rows padded to four bytes.
    const DWORD size = ((static_cast<DWORD>(width) * 3 + 3) & ~DWORD{3}) * static_cast<DWORD>(height);
    BITMAPINFOHEADER header{sizeof header, width, height, 1, 24, BI_RGB, size, 0, 0, 0, 0};
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    const HBITMAP bitmap =
        CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof header;
    const BITMAPFILEHEADER file_header{0x4D42, offset + size, 0, 0, offset};  // "BM"
    std::ofstream file(std::filesystem::path(path), std::ios::binary);
    file.write(reinterpret_cast<const char*>(&file_header), sizeof file_header);
    file.write(reinterpret_cast<const char*>(&header), sizeof header);
    file.write(static_cast<const char*>(bits), size);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return copied && file.good();
}

// A new, empty folder under the scratch folder.
std::wstring NewFolder(const std::wstring& name) {
    const std::wstring folder = Scratch() + L"\\" + name;
    EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << "already there? " << GetLastError();
    return folder;
}

// A new folder under the scratch folder whose full path is `length` characters long, in names of at most 200
// characters; made with the \\?\ prefix, which lifts the limit of MAX_PATH.
std::wstring NewLongFolder(int length) {
    std::wstring folder = Scratch() + L"\\" + std::to_wstring(length) + L' ';
    folder.resize(static_cast<std::size_t>(length), L'x');
    for (std::size_t end = Scratch().size() + 200; end + 1 < folder.size(); end += 200) {
        folder[end] = L'\\';
    }
    for (std::size_t end = Scratch().size() + 1; end != std::wstring::npos;) {
        end = folder.find(L'\\', end + 1);
        EXPECT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder.substr(0, end)).c_str(), nullptr)) << GetLastError();
    }
    return folder;
}

std::wstring SystemText(DWORD code) {
    wchar_t text[512] = {};
    std::wstring result(text, FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                             0, text, 512, nullptr));
    return result.erase(result.find_last_not_of(L"\r\n ") + 1);
}

// Waits for a message box and checks that it is the program's plain one: its title, the buttons `buttons` (OK
// unless told), no icon.
std::wstring MessageBoxText(HWND box, const std::vector<int>& buttons = {IDOK}) {
    if (box == nullptr) {
        ADD_FAILURE() << "no message box appeared";
        return {};
    }
    EXPECT_EQ(TextOf(box), L"Varnotta");
    std::size_t shown = 0;
    for (const HWND child : ChildrenOf(box)) {
        shown += ClassOf(child) == L"Button" && IsWindowVisible(child);
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if (ClassOf(child) == L"Static" && (style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child)) {
            DWORD_PTR icon = 0;
            SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &icon);
            EXPECT_EQ(icon, 0u) << "the box shows an icon";
        }
    }
    EXPECT_EQ(shown, buttons.size());
    for (const int button : buttons) {
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(box, button))) << "no button " << button;
    }
    const HWND text = GetDlgItem(box, 0xFFFF);
    return text != nullptr ? TextOf(text) : L"<no text>";
}

// A drop of `paths` from Explorer as the window's process receives it. Wine does not carry a drop's memory
// across processes as Windows does, so the list is written into the window's process: a fixed block of global
// memory is known by its address.
void DropOn(HWND window, const std::vector<std::wstring>& paths) {
    std::wstring block(sizeof(DROPFILES) / sizeof(wchar_t), L'\0');  // room for the header, then the list
    for (const std::wstring& path : paths) {
        block += path + L'\0';
    }
    *reinterpret_cast<DROPFILES*>(block.data()) = DROPFILES{sizeof(DROPFILES), {}, FALSE, TRUE};
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    const HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, process_id);
    const std::size_t size = (block.size() + 1) * sizeof(wchar_t);  // the list ends in an empty name
    void* drop = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    EXPECT_TRUE(drop != nullptr && WriteProcessMemory(process, drop, block.c_str(), size, nullptr));
    CloseHandle(process);
    PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
}

void PressOk(HWND box, int button = IDOK) {
    EXPECT_NE(box, nullptr) << "no box to answer";
    Click(GetDlgItem(box, button));
    EXPECT_TRUE(WaitToClose(box));
}

// The program started in its own process, its main window and the controls that take the focus, found as a
// user finds them: in the order Tab visits them.
struct Controls {
    HWND text1, command1, text2, text3, command2, command3, command4;
};

class Program : public Controls {
  public:
    HWND window = nullptr;

    // Starts `program` in `working_folder` with `arguments` and waits for its window to appear.
    explicit Program(const std::wstring& program = EnvironmentText(L"VARNOTTA_PROGRAM"),
                     const std::wstring& working_folder = Scratch(), const std::wstring& arguments = L"") {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION process{};
        std::wstring command_line = L"\"" + program + L"\" " + arguments;
        if (CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           working_folder.c_str(), &startup, &process)) {
            CloseHandle(process.hThread);
            process_ = process.hProcess;
            WaitUntil([&] { return (window = FindWindowOf(process.dwProcessId)) != nullptr; }, 20s);
        }
        if (window == nullptr) {
            ADD_FAILURE() << "no window captioned \"" << kCaption << "\"";
            return;
        }
        thread_id_ = GetWindowThreadProcessId(window, nullptr);
        std::vector<HWND> stops = TabStops();
        stops.resize(7);
        static_cast<Controls&>(*this) = {stops[0], stops[1], stops[2], stops[3], stops[4], stops[5], stops[6]};
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Closes the program if it still runs: modal boxes first, then the window; a program that will not go is ended.
    ~Program() {
        if (process_ == nullptr) {
            return;
        }
        for (HWND modal; WaitForSingleObject(process_, 0) == WAIT_TIMEOUT && (modal = WaitForModal(0ms));) {
            PostMessageW(modal, WM_CLOSE, 0, 0);
            if (!WaitToClose(modal, 2s)) {
                break;
            }
        }
        PostMessageW(window, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_, 5000) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, 5000);
        }
        CloseHandle(process_);
    }

    std::array<HWND, 5> Locked() const { return {command1, command2, text2, text3, command3}; }

    std::vector<HWND> TabStops() const {
        std::vector<HWND> stops;
        for (HWND stop = GetNextDlgTabItem(window, nullptr, FALSE); stop != nullptr && stops.size() <= 16;
             stop = GetNextDlgTabItem(window, stop, FALSE)) {
            if (!stops.empty() && stop == stops.front()) {
                break;
            }
            stops.push_back(stop);
        }
        return stops;
    }

    HWND Focus() const {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(thread_id_, &info) ? info.hwndFocus : nullptr;
    }

    // Waits for a dialog or message box owned by the main window; null when none came.
    HWND WaitForModal(std::chrono::milliseconds limit = 15s) const {
        HWND modal = nullptr;
        WaitUntil(
            [&] {
                while ((modal = FindWindowExW(nullptr, modal, L"#32770", nullptr)) != nullptr) {
                    if (GetWindow(modal, GW_OWNER) == window && IsWindowVisible(modal)) {
                        return true;
                    }
                }
                return false;
            },
            limit);
        return modal;
    }

    // Waits for the process to end; false on time-out.
    bool WaitForExit(std::chrono::milliseconds limit, DWORD* exit_code = nullptr) const {
        return process_ != nullptr &&
               WaitForSingleObject(process_, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0 &&
               (exit_code == nullptr || GetExitCodeProcess(process_, exit_code));
    }

  private:
    static HWND FindWindowOf(DWORD process_id) {
        HWND found = nullptr;
        while ((found = FindWindowExW(nullptr, found, nullptr, kCaption)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            if (owner == process_id && IsWindowVisible(found)) {
                return found;
            }
        }
        return nullptr;
    }

    HANDLE process_ = nullptr;
    DWORD thread_id_ = 0;
};

void ExpectEnabled(const std::array<HWND, 5>& controls, bool enabled) {
    for (const HWND control : controls) {
        EXPECT_EQ(IsWindowEnabled(control) != FALSE, enabled) << "control captioned \"" << TextOf(control) << '"';
    }
}

TEST(Window, CaptionLayoutFontAndTabOrderAreExact) {
    const Program program;
    const HWND window = program.window;
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(TextOf(window), kCaption);

    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, Pixels(6675));
    EXPECT_EQ(client.bottom, Pixels(4080));

    // A fixed frame: caption, system menu, minimise and close only, placed in the middle of the work area.
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_TRUE((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU) && (style & WS_MINIMIZEBOX));
    EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
    RECT frame{}, work_area{};
    GetWindowRect(window, &frame);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work_area, 0);
    EXPECT_NEAR(frame.left + frame.right, work_area.left + work_area.right, 1);
    EXPECT_NEAR(frame.top + frame.bottom, work_area.top + work_area.bottom, 1);

    const std::vector<HWND> children = ChildrenOf(window);
    ASSERT_EQ(children.size(), kExpected.size());
    for (std::size_t row = 0; row < kExpected.size(); ++row) {
        const ExpectedControl& expected = kExpected[row];
        const HWND control = children[row];
        SCOPED_TRACE(testing::Message() << "row " << row);
        EXPECT_EQ(_wcsicmp(ClassOf(control).c_str(), expected.window_class), 0) << ClassOf(control).c_str();
        EXPECT_EQ(TextOf(control), expected.caption);
        EXPECT_TRUE(IsWindowVisible(control) && IsWindowEnabled(control));
        RECT place{};
        GetWindowRect(control, &place);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
        EXPECT_EQ(
            (std::array{place.left, place.top, place.right - place.left, place.bottom - place.top}),
            (std::array{Pixels(expected.left), Pixels(expected.top), Pixels(expected.width), Pixels(expected.height)}));
    }

    // The folder box is one line; the head and tail boxes keep typed line breaks and scroll vertically.
    EXPECT_FALSE(GetWindowLongW(program.text1, GWL_STYLE) & ES_MULTILINE);
    for (const HWND box : {program.text2, program.text3}) {
        const DWORD multi_line = ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL;
        EXPECT_EQ(GetWindowLongW(box, GWL_STYLE) & multi_line, multi_line);
    }

    // Tab, pressed as keys, visits every control but the labels, in stacking order, and comes round again.
    const std::vector<HWND> tab_order{children[0], children[1], children[2], children[3],
                                      children[4], children[5], children[9]};
    EXPECT_EQ(program.TabStops(), tab_order);
    ASSERT_TRUE(WaitUntil([&] { return program.Focus() == program.text1; })) << "the folder box starts with the focus";
    for (std::size_t step = 1; step <= tab_order.size(); ++step) {
        PressKey(program.Focus(), VK_TAB);
        const HWND expected = tab_order[step % tab_order.size()];
        EXPECT_TRUE(WaitUntil([&] { return program.Focus() == expected; }, 3s))
            << "Tab from stop " << step - 1 << " did not reach stop " << step % tab_order.size();
    }
    EXPECT_EQ(TextOf(program.text2), L"") << "Tab in a multi-line box must move on, not insert a tab";

    // The head box draws its text in 宋体 9 point for this DPI: its line height and the width of a character
    // are those of that font.
    const HFONT font = CreateFontW(-MulDiv(9, Dpi(), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0,
                                   0, 0, 0, L"宋体");
    const HDC screen = GetDC(nullptr);
    const HGDIOBJ previous = SelectObject(screen, font);
    TEXTMETRICW metrics{};
    SIZE cell{};
    GetTextMetricsW(screen, &metrics);
    GetTextExtentPoint32W(screen, L"宋", 1, &cell);
    DeleteObject(SelectObject(screen, previous));
    ReleaseDC(nullptr, screen);
    const auto position = [&](int index) {
        DWORD_PTR packed = 0;
        SendMessageTimeoutW(program.text2, EM_POSFROMCHAR, index, 0, SMTO_ABORTIFHUNG, 5000, &packed);
        return POINT{static_cast<short>(LOWORD(packed)), static_cast<short>(HIWORD(packed))};
    };
    SetTextOf(program.text2, L"宋\r\n体");
    EXPECT_EQ(position(3).y - position(0).y, metrics.tmHeight) << "line height";
    SetTextOf(program.text2, L"宋体");
    EXPECT_EQ(position(1).x - position(0).x, cell.cx) << "character width";
    SetTextOf(program.text2, L"");

    Sleep(500);  // let the window finish painting before the picture
    EXPECT_TRUE(SaveWindowPicture(window, EnvironmentText(L"VARNOTTA_SCREENSHOT")));
}

// Esc in any box, and Enter in the folder box, neither close the window nor touch what was typed.
TEST(Window, EscAndEnterKeepTheWindowAndWhatWasTyped) {
    const Program program;
    for (const HWND box : {program.text1, program.text2, program.text3}) {
        TypeText(box, L"abc");
        PressKey(box, VK_ESCAPE);
    }
    PressKey(program.text1, VK_RETURN);
    EXPECT_TRUE(WaitUntil(
        [&] { return TextOf(program.text1) + TextOf(program.text2) + TextOf(program.text3) == L"abcabcabc"; }));
    EXPECT_EQ(program.WaitForModal(2s), nullptr) << "Enter in the folder box opened a box";
    EXPECT_TRUE(IsWindow(program.window)) << "the window closed";
}

TEST(Window, ClearEmptiesTheThreeBoxes) {
    const Program program;
    for (const HWND box : {program.text1, program.text2, program.text3}) {
        SetTextOf(box, L"abc");
    }
    Click(program.command2);
    EXPECT_TRUE(WaitUntil([&] {
        return TextOf(program.text1).empty() && TextOf(program.text2).empty() && TextOf(program.text3).empty();
    }));
}

// Refused paths do not lock anything, not even while the message is up.
TEST(Window, BlankOrMissingPathsAreRefusedWithoutLocking) {
    const Program program;
    const std::pair<std::wstring, std::wstring> refused[] = {
        {L"", L"请先设定路径！"}, {L"   ", L"请先设定路径！"}, {Scratch() + L"\\no such folder\\", L"该路径不存在！"}};
    for (const auto& [path, message] : refused) {
        SCOPED_TRACE(testing::Message() << "folder \"" << path << '"');
        SetTextOf(program.text1, path);
        Click(program.command3);
        const HWND box = program.WaitForModal();
        EXPECT_EQ(MessageBoxText(box), message);
        ExpectEnabled(program.Locked(), true);
        PressOk(box);
        EXPECT_TRUE(WaitUntil([&] { return program.Focus() == program.command3; }, 3s))
            << "the focus did not come back to Start";
    }
}

TEST(Window, FoldersWithPathsAroundAndPastMaxPathAreRewritten) {
    const Program program;
    SetTextOf(program.text2, L"头");
    for (const int length : {MAX_PATH - 15, MAX_PATH - 14, MAX_PATH - 2, 310}) {
        SCOPED_TRACE(testing::Message() << "folder path of " << length << " characters");
        const std::wstring folder = NewLongFolder(length);
        WriteFileBytes(L"\\\\?\\" + folder + L"\\a.txt", "abc");
        SetTextOf(program.text1, folder + L"\\");
        Click(program.command3);
        const HWND box = program.WaitForModal();
        EXPECT_EQ(MessageBoxText(box), L"任务完成！");
        PressOk(box);
        EXPECT_EQ(ReadFileBytes(L"\\\\?\\" + folder + L"\\a.txt"), Encode(L"头") + "\r\nabc");
    }
    // A failure there names the file by its whole path and the system's reason; the window stays locked while
    // the report is up and unlocks after OK.
    const std::wstring file = NewLongFolder(320) + L"\\a.txt";
    WriteFileBytes(L"\\\\?\\" + file, "abc");
    SetFileAttributesW((L"\\\\?\\" + file).c_str(), FILE_ATTRIBUTE_READONLY);
    SetTextOf(program.text1, file.substr(0, file.size() - 6));
    Click(program.command3);
    const HWND box = program.WaitForModal();
    EXPECT_EQ(MessageBoxText(box),
              L"处理中断，已完成 0 个文件，其余文件未改动。\r\n" + file + L"\r\n" + SystemText(ERROR_ACCESS_DENIED));
    ExpectEnabled(program.Locked(), false);
    PressOk(box);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(program.command3) != FALSE; }));
    ExpectEnabled(program.Locked(), true);
}

// A typical run, long because of one big file: the window answers at once throughout, shows the percentage
// done before its caption and unlocks after OK. Closed in the middle of the next run, the program ends at once;
// the file in hand and the files after it are left as they were.
TEST(Window, TypicalLongRunShowsProgressUnlocksAfterOkAndStopsSafelyWhenClosed) {
    const std::wstring folder = NewFolder(L"文本");
    const std::wstring big = folder + L"\\big.txt";
    // 1 GiB, sparse where the system allows: quick to make.
    std::ofstream(std::filesystem::path(big), std::ios::binary).seekp((std::streamoff{1} << 30) - 1).put('\0');
    const std::map<std::wstring, std::string> small{
        {L"a.txt", "abc"}, {L"b.txt", "b"}, {L"中文.txt", Encode(L"第一行\r\n")}};
    for (const auto& [name, content] : small) {
        WriteFileBytes(folder + L"\\" + name, content);
    }
    const auto framed = [](const std::string& content) {
        return Encode(L"头部\r\n") + "\r\n" + content + "\r\n" + Encode(L"尾 T");
    };
    const auto percent_shown = [&](HWND window) {
        const std::wstring text = TextOf(window);
        const auto end = text.find(L"% - ");
        return end != std::wstring::npos && text.substr(end + 4) == kCaption ? std::stoi(text.substr(0, end)) : -1;
    };
    // The folder path typed with spaces around it; the head typed with Enter at its end.
    const auto start_run = [&](const Program& program) {
        TypeText(program.text1, L"  " + folder + L"\\  ");
        TypeText(program.text2, L"  头部");
        PressKey(program.text2, VK_RETURN);
        EXPECT_TRUE(WaitUntil([&] { return TextOf(program.text2) == L"  头部\r\n"; })) << "Enter must insert CR LF";
        SetTextOf(program.text3, L"  尾 T  ");
        Click(program.command3);
    };
    // The message the window's worker posts when its run has ended, posted by another program instead: at rest and
    // during the run it changes nothing.
    constexpr UINT kRunFinished = WM_APP + 1;
    {
        const Program program;
        PostMessageW(program.window, kRunFinished, 0, 0);
        start_run(program);
        DropOn(program.window, {Scratch()});  // during the run: ignored
        std::vector<int> shown;
        HWND box = nullptr;
        while ((box = program.WaitForModal(0ms)) == nullptr) {
            DWORD_PTR ignored = 0;
            ASSERT_NE(SendMessageTimeoutW(program.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored), 0)
                << "the window did not answer within a second";
            if (const int percent = percent_shown(program.window); percent >= 0) {
                if (shown.empty()) {
                    PostMessageW(program.window, kRunFinished, 0, 0);
                }
                if (percent >= 20 && (shown.empty() || shown.back() < 20)) {  // a picture for README
                    std::wstring picture = EnvironmentText(L"VARNOTTA_SCREENSHOT");
                    SaveWindowPicture(program.window, picture.insert(picture.size() - 4, L"-progress"));
                }
                shown.push_back(percent);
            }
            Sleep(50);
        }
        EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end())) << "the percentage went back";
        EXPECT_GT(std::set<int>(shown.begin(), shown.end()).size(), 1u) << "the percentage did not grow";
        EXPECT_EQ(MessageBoxText(box), L"任务完成！");
        ExpectEnabled(program.Locked(), false);
        EXPECT_TRUE(IsWindowEnabled(program.text1) && IsWindowEnabled(program.command4));
        PressOk(box);
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(program.command3) != FALSE; }));
        ExpectEnabled(program.Locked(), true);
        EXPECT_EQ(TextOf(program.window), kCaption);
        EXPECT_EQ(TextOf(program.text1), L"  " + folder + L"\\  ");
    }
    for (const auto& [name, content] : small) {
        EXPECT_EQ(ReadFileBytes(folder + L"\\" + name), framed(content));
    }

    WIN32_FILE_ATTRIBUTE_DATA before{}, after{};
    GetFileAttributesExW(big.c_str(), GetFileExInfoStandard, &before);
    const auto order = ListingOrder(folder);
    const auto big_turn = std::find(order.begin(), order.end(), L"big.txt") - order.begin();
    // Ended in the middle of a run by the close box, and by the Restart Manager, which closes this program alone
    // so that an installer can replace files in use.
    const struct Ending {
        const char* what;
        std::vector<std::array<UINT_PTR, 3>> messages;  // message, wparam, lparam
    } endings[] = {
        {"closed", {{WM_SYSCOMMAND, SC_CLOSE, 0}}},
        {"restart manager", {{WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP}, {WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP}}},
    };
    std::map<std::wstring, std::string> expected;  // what the small files hold
    for (const auto& [name, content] : small) {
        expected[name] = framed(content);
    }
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.what);
        {
            const Program program;
            start_run(program);
            ASSERT_TRUE(WaitUntil([&] { return percent_shown(program.window) >= 1; }, 60s));
            for (const auto& [message, wparam, lparam] : ending.messages) {
                PostMessageW(program.window, static_cast<UINT>(message), wparam, static_cast<LPARAM>(lparam));
            }
            EXPECT_TRUE(program.WaitForExit(2s)) << "the program did not end within two seconds";
        }
        GetFileAttributesExW(big.c_str(), GetFileExInfoStandard, &after);
        EXPECT_EQ(CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime), 0) << "the big file was replaced";
        for (std::ptrdiff_t turn = 0; turn < static_cast<std::ptrdiff_t>(order.size()); ++turn) {
            if (turn != big_turn) {
                std::string& content = expected[order[turn]];
                content = turn < big_turn ? framed(content) : content;
                EXPECT_EQ(ReadFileBytes(folder + L"\\" + order[turn]), content);
            }
        }
        EXPECT_EQ(ListingOrder(folder).size(), order.size()) << "a temporary file was left";
    }
}

TEST(Window, BrowseCancelKeepsTheFolderBoxAndOkFillsItWithABackslash) {
    // A folder on the desktop, which the browser lists right under its top item.
    wchar_t desktop[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop), S_OK);
    const std::wstring picked = std::wstring(desktop) + L"\\varnotta 选中";
    ASSERT_TRUE(CreateDirectoryW(picked.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);

    const Program program;
    SetTextOf(program.text1, L"保留 kept");
    Click(program.command1);
    HWND browser = program.WaitForModal();
    ASSERT_NE(browser, nullptr) << "no folder browser";
    EXPECT_NE(FindWindowExW(browser, nullptr, nullptr, L"请选择路径"), nullptr)
        << "the browser does not show its title";
    Click(GetDlgItem(browser, IDCANCEL));
    EXPECT_TRUE(WaitToClose(browser));
    EXPECT_EQ(TextOf(program.text1), L"保留 kept");

    Click(program.command1);
    browser = program.WaitForModal();
    const HWND tree = FindWindowExW(browser, nullptr, L"SysTreeView32", nullptr);
    ASSERT_NE(tree, nullptr);
    const auto selected = [&] {
        DWORD_PTR item = 0;
        SendMessageTimeoutW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, SMTO_ABORTIFHUNG, 5000, &item);
        return item;
    };
    const DWORD_PTR first_choice = selected();
    TypeText(tree, L"varnotta");  // the tree selects the item whose name starts with what is typed
    EXPECT_TRUE(WaitUntil([&] { return selected() != first_choice; })) << "typing did not select the folder";
    const HWND ok = GetDlgItem(browser, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(ok) != FALSE; }));
    Click(ok);
    EXPECT_TRUE(WaitToClose(browser));
    EXPECT_EQ(TextOf(program.text1), picked + L"\\");

    // Opened again, it starts at the folder in the box, however deep.
    const std::wstring inner = picked + L"\\内层";
    ASSERT_TRUE(CreateDirectoryW(inner.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    SetTextOf(program.text1, inner + L"\\");
    Click(program.command1);
    browser = program.WaitForModal();
    Click(GetDlgItem(browser, IDOK));
    EXPECT_TRUE(WaitToClose(browser));
    EXPECT_EQ(TextOf(program.text1), inner + L"\\");
    RemoveDirectoryW(inner.c_str());
    RemoveDirectoryW(picked.c_str());
}

// A path handed over on the command line or dropped on the window puts its folder in the folder box: a file's
// folder for a file, the first of several paths; anything else leaves the box empty.
TEST(Window, AFolderGivenOnTheCommandLineOrDroppedFillsTheFolderBox) {
    const std::wstring folder = NewFolder(L"文本 given"), long_folder = NewLongFolder(300),
                       root = Scratch().substr(0, 2) + L"\\";
    WriteFileBytes(folder + L"\\a.txt", "");
    const struct {
        std::wstring arguments;
        std::vector<std::wstring> dropped;
        std::wstring expected;
    } cases[] = {
        {L"\"" + folder + L"\\a.txt\" " + Scratch(), {}, folder + L"\\"},
        {L"\"" + root + L"\" \"" + folder + L"\"", {}, root},  // a closing backslash before the quote
        {L"\"" + long_folder + L"\"", {}, long_folder + L"\\"},
        {L"\"" + folder + L"\\none\" \"" + folder + L"\"", {}, L""},
        {L"", {folder + L"\\a.txt", Scratch()}, folder + L"\\"},
        {L"", {long_folder}, long_folder + L"\\"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::Message() << "arguments " << row.arguments << ", dropped " << row.dropped.size());
        const Program program(EnvironmentText(L"VARNOTTA_PROGRAM"), Scratch(), row.arguments);
        if (!row.dropped.empty()) {
            DropOn(program.window, row.dropped);
        }
        EXPECT_TRUE(WaitUntil([&] { return TextOf(program.text1) == row.expected; }, 3s)) << TextOf(program.text1);
    }
}

// The system menu's undo, chosen as a user does with the keys (Alt+Space, U), asks first, then takes the last
// run's head and tail off the files still as that run left them; its item is enabled only while there is
// something to undo.
TEST(Window, UndoTakesTheLastRunOffTheFilesUnchangedSince) {
    const std::wstring folder = NewFolder(L"撤销");
    const std::map<std::wstring, std::string> before{
        {L"a.txt", "abc"}, {L"b.txt", "\xEF\xBB\xBFx"}, {L"c.txt", std::string("\xFF\xFEy\0", 4)}, {L"d.txt", ""}};
    const auto contents = [&] {
        std::map<std::wstring, std::string> now;
        for (const auto& [name, bytes] : before) {
            now[name] = ReadFileBytes(folder + L"\\" + name);
        }
        return now;
    };
    for (const auto& [name, bytes] : before) {
        WriteFileBytes(folder + L"\\" + name, bytes);
    }
    const Program program;
    SetTextOf(program.text1, folder + L"\\");
    SetTextOf(program.text2, L"头");
    SetTextOf(program.text3, L"尾");
    const auto run = [&] {
        Click(program.command3);
        PressOk(program.WaitForModal());
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(program.command3) != FALSE; }));
    };
    const auto choose_undo = [&] {
        PostMessageW(program.window, WM_SYSCOMMAND, SC_KEYMENU, L' ');
        EXPECT_TRUE(WaitUntil([] { return IsWindowVisible(FindWindowW(L"#32768", nullptr)) != FALSE; }, 3s))
            << "the system menu did not open";
        PostMessageW(program.window, WM_CHAR, L'u', 1);
        return program.WaitForModal(3s);
    };
    const auto undo = [&](const std::wstring& done) {
        const HWND question = choose_undo();
        EXPECT_EQ(MessageBoxText(question, {IDYES, IDNO}), L"将去掉上次添加到 4 个文件中的头部和尾部内容。是否继续？");
        PressOk(question, IDYES);
        const HWND box = program.WaitForModal();
        EXPECT_EQ(MessageBoxText(box), done);
        ExpectEnabled(program.Locked(), false);
        PressOk(box);
    };
    EXPECT_EQ(choose_undo(), nullptr) << "enabled before a run";
    run();
    const auto once = contents();
    EXPECT_EQ(once.at(L"a.txt"), Encode(L"头\r\nabc\r\n尾"));
    PressOk(choose_undo(), IDNO);
    EXPECT_EQ(program.WaitForModal(1s), nullptr);
    EXPECT_EQ(contents(), once) << "No changed the files";
    undo(L"撤销完成！");
    EXPECT_EQ(contents(), before);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(program.command3) != FALSE; }));
    EXPECT_EQ(choose_undo(), nullptr) << "enabled after an undo";

    run();
    run();
    WriteFileBytes(folder + L"\\d.txt", "changed");
    undo(L"撤销完成！其中 1 个文件在上次添加后已改动，未处理。");
    auto expected = once;
    expected[L"d.txt"] = "changed";
    EXPECT_EQ(contents(), expected);
}

// Exit opens the maker's page and ends the program; the close box ends it without opening anything.
TEST(Window, ExitOpensTheHomePageTheCloseBoxJustEnds) {
    const std::wstring log = EnvironmentText(L"VARNOTTA_URL_LOG");
    for (const bool exit_button : {false, true}) {
        SCOPED_TRACE(exit_button ? "Exit" : "close box");
        const std::string logged_before = ReadFileBytes(log);
        const Program program;
        if (exit_button) {
            Click(program.command4);
        } else {
            PostMessageW(program.window, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        DWORD exit_code = 1;
        EXPECT_TRUE(program.WaitForExit(10s, &exit_code));
        EXPECT_EQ(exit_code, 0u);
        // A launch reaches the browser within seconds.
        const auto page_opened = [&] {
            return ReadFileBytes(log).find(Encode(kHomePage, CP_UTF8)) != std::string::npos;
        };
        EXPECT_EQ(WaitUntil(page_opened, exit_button ? 30s : 3s), exit_button) << ReadFileBytes(log);
        if (!exit_button) {
            EXPECT_EQ(ReadFileBytes(log), logged_before);
        }
    }
}

// The skin library is loaded from the program's folder and handed the skin's path in the ANSI code page; a copy
// planted in the current folder is never loaded.
TEST(Window, SkinLibraryComesFromTheProgramsFolderOnly) {
    const std::wstring program_folder = NewFolder(L"皮肤 skin");
    const std::wstring current_folder = NewFolder(L"planted");
    ASSERT_TRUE(
        CopyFileW(EnvironmentText(L"VARNOTTA_PROGRAM").c_str(), (program_folder + L"\\varnotta.exe").c_str(), TRUE));
    for (const std::wstring& beside : {current_folder, program_folder}) {
        ASSERT_TRUE(
            CopyFileW(EnvironmentText(L"VARNOTTA_SKIN_RECORDER").c_str(), (beside + L"\\SkinH_VB6.dll").c_str(), TRUE));
        const Program program(program_folder + L"\\varnotta.exe", current_folder);
        PostMessageW(program.window, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(program.WaitForExit(10s));
        EXPECT_EQ(GetFileAttributesW((current_folder + L"\\SkinH_VB6.calls").c_str()), INVALID_FILE_ATTRIBUTES)
            << "the planted library was loaded";
    }
    EXPECT_EQ(ReadFileBytes(program_folder + L"\\SkinH_VB6.calls"), Encode(program_folder) + "/Aero.she" + '\0' + '\0');
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Coordinates of the program's windows as they are on the screen, not scaled for a DPI-unaware reader.
    SetProcessDPIAware();
    // File text is in the system ANSI code page; these tests are written for the Chinese one.
    if (GetACP() != 936) {
        fprintf(stderr, "the ANSI code page is %u, not 936\n", GetACP());
        return 1;
    }
    return RUN_ALL_TESTS();
}
