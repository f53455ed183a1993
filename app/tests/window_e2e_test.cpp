// The window program end to end: started as a user starts it, driven only through its windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "app/version.h"
#include "window_driver.h"

namespace {

// The version is app/version.h's, the one place it is set.
constexpr wchar_t kCaption[] = L"Varnotta " VARNOTTA_VERSION "      www.varnotta.example";
constexpr wchar_t kHomePage[] = L"https://www.varnotta.example/";

struct ExpectedControl {
    const wchar_t* window_class;
    const wchar_t* caption;        // empty for the text boxes, which are found by tab order
    int left, top, width, height;  // twips
};

// Listed in tab order.
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

std::wstring Scratch() {
    return EnvironmentText(L"VARNOTTA_E2E_FOLDER");
}

// The display's dots per inch in this run: 96 unless the run sets another.
int Dpi() {
    const std::wstring dpi = EnvironmentText(L"VARNOTTA_EXPECTED_DPI");
    return dpi.empty() ? 96 : std::stoi(dpi);
}

// Where a length in twips must land in pixels: 1440 twips to an inch, so twips / 15 at 96 DPI.
int Pixels(int twips) {
    return MulDiv(twips, Dpi(), 1440);
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

// The line height and the width of `character` in a regular font of this face and height.
SIZE TextCellOf(const wchar_t* face, int height, wchar_t character) {
    LOGFONTW wanted{};
    wanted.lfHeight = height;
    wanted.lfWeight = FW_NORMAL;
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    const HFONT font = CreateFontIndirectW(&wanted);
    const HDC screen = GetDC(nullptr);
    const HGDIOBJ previous = SelectObject(screen, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    SIZE extent{};
    GetTextExtentPoint32W(screen, &character, 1, &extent);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    DeleteObject(font);
    return SIZE{extent.cx, metrics.tmHeight};
}

std::string Ansi(const std::wstring& text) {
    return Encode(text, 936);
}

std::wstring SystemText(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result(text, length);
    LocalFree(text);
    while (!result.empty() && (result.back() == L'\r' || result.back() == L'\n' || result.back() == L' ')) {
        result.pop_back();
    }
    return result;
}

// The program's ten controls, found as a user finds them: buttons and labels by caption, text boxes by
// their place in the tab order.
struct Controls {
    HWND text1, text2, text3, command1, command2, command3, command4;

    explicit Controls(const RunningProgram& program)
        : command1(program.ChildWithCaption(L"浏 览")),
          command2(program.ChildWithCaption(L"清 空")),
          command3(program.ChildWithCaption(L"开 始")),
          command4(program.ChildWithCaption(L"退 出")) {
        const auto stops = program.TabStops();
        text1 = stops.size() > 0 ? stops[0] : nullptr;
        text2 = stops.size() > 2 ? stops[2] : nullptr;
        text3 = stops.size() > 3 ? stops[3] : nullptr;
    }

    std::array<HWND, 5> Locked() const { return {command1, command2, text2, text3, command3}; }
};

class WindowTest : public ::testing::Test {
  protected:
    std::unique_ptr<RunningProgram> Start(const std::wstring& program = EnvironmentText(L"VARNOTTA_PROGRAM"),
                                          const std::wstring& working_folder = Scratch()) {
        auto running = std::make_unique<RunningProgram>(program, working_folder, kCaption);
        EXPECT_NE(running->window(), nullptr) << "no window captioned \"" << kCaption << "\"";
        return running;
    }

    // Waits for a message box and checks that it is the program's plain one: its title, one OK button, no icon.
    static std::wstring MessageBoxText(const ModalWindow& box) {
        if (box.window == nullptr) {
            ADD_FAILURE() << "no message box appeared";
            return {};
        }
        EXPECT_EQ(box.caption, L"Varnotta");
        int buttons = 0;
        for (const HWND child : box.children) {
            if (ClassOf(child) == L"Button" && IsWindowVisible(child)) {
                ++buttons;
            }
            const LONG style = GetWindowLongW(child, GWL_STYLE);
            if (ClassOf(child) == L"Static" && (style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child)) {
                DWORD_PTR icon = 0;
                SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &icon);
                EXPECT_EQ(icon, 0u) << "the box shows an icon";
            }
        }
        EXPECT_EQ(buttons, 1);
        EXPECT_NE(box.ChildWithId(IDOK), nullptr);
        const HWND text = box.ChildWithId(0xFFFF);
        return text != nullptr ? TextOf(text) : L"<no text>";
    }

    static void PressOk(const RunningProgram& program, const ModalWindow& box) {
        Click(box.ChildWithId(IDOK));
        EXPECT_TRUE(program.WaitForModalToClose(box.window));
    }

    static void ExpectEnabled(const std::array<HWND, 5>& controls, bool enabled) {
        for (const HWND control : controls) {
            EXPECT_EQ(IsWindowEnabled(control) != FALSE, enabled) << "control captioned \"" << TextOf(control) << '"';
        }
    }
};

TEST_F(WindowTest, CaptionLayoutFontAndTabOrderAreExact) {
    const auto program = Start();
    const HWND window = program->window();
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

    std::vector<HWND> children;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    ASSERT_EQ(children.size(), kExpected.size());

    const Controls controls(*program);
    const std::array<HWND, 3> text_boxes{controls.text1, controls.text2, controls.text3};
    const std::array<std::size_t, 3> text_box_rows{0, 2, 3};
    for (std::size_t row = 0; row < kExpected.size(); ++row) {
        const ExpectedControl& expected = kExpected[row];
        SCOPED_TRACE(testing::Message() << "row " << row);
        HWND control = nullptr;
        if (*expected.caption != L'\0') {
            control = program->ChildWithCaption(expected.caption);
        } else {
            for (std::size_t i = 0; i < text_boxes.size(); ++i) {
                if (text_box_rows[i] == row) {
                    control = text_boxes[i];
                }
            }
        }
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(_wcsicmp(ClassOf(control).c_str(), expected.window_class), 0) << ClassOf(control).c_str();
        EXPECT_EQ(TextOf(control), expected.caption);
        EXPECT_TRUE(IsWindowVisible(control) && IsWindowEnabled(control));
        const RECT place = RectIn(window, control);
        EXPECT_EQ(place.left, Pixels(expected.left));
        EXPECT_EQ(place.top, Pixels(expected.top));
        EXPECT_EQ(place.right - place.left, Pixels(expected.width));
        EXPECT_EQ(place.bottom - place.top, Pixels(expected.height));
    }

    // The folder box is one line; the head and tail boxes keep typed line breaks and scroll vertically.
    EXPECT_FALSE(GetWindowLongW(controls.text1, GWL_STYLE) & ES_MULTILINE);
    for (const HWND box : {controls.text2, controls.text3}) {
        const DWORD multi_line = ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL;
        EXPECT_EQ(GetWindowLongW(box, GWL_STYLE) & multi_line, multi_line);
    }

    // Tab, pressed as keys, visits every control but the labels, in tab order, and comes round again.
    const std::vector<HWND> tab_order{controls.text1,    controls.command1, controls.text2,   controls.text3,
                                      controls.command2, controls.command3, controls.command4};
    EXPECT_EQ(program->TabStops(), tab_order);
    ASSERT_TRUE(WaitUntil([&] { return program->Focus() == controls.text1; }))
        << "the folder box starts with the focus";
    for (std::size_t step = 1; step <= tab_order.size(); ++step) {
        PressKey(program->Focus(), VK_TAB);
        const HWND expected = tab_order[step % tab_order.size()];
        EXPECT_TRUE(WaitUntil([&] { return program->Focus() == expected; }, 3s))
            << "Tab from stop " << step - 1 << " did not reach stop " << step % tab_order.size();
    }
    EXPECT_EQ(TextOf(controls.text2), L"") << "Tab in a multi-line box must move on, not insert a tab";

    // The head box draws its text in 宋体 9 point for this DPI: its line height and the width of a character
    // are those of that font.
    SetTextOf(controls.text2, L"宋\r\n体");
    const auto position = [&](int index) {
        DWORD_PTR packed = 0;
        SendMessageTimeoutW(controls.text2, EM_POSFROMCHAR, index, 0, SMTO_ABORTIFHUNG, 5000, &packed);
        return POINT{static_cast<short>(LOWORD(packed)), static_cast<short>(HIWORD(packed))};
    };
    const SIZE cell = TextCellOf(L"宋体", -MulDiv(9, Dpi(), 72), L'宋');
    EXPECT_EQ(position(3).y - position(0).y, cell.cy) << "line height";
    SetTextOf(controls.text2, L"宋体");
    EXPECT_EQ(position(1).x - position(0).x, cell.cx) << "character width";
    SetTextOf(controls.text2, L"");

    Sleep(500);  // let the window finish painting before the picture
    EXPECT_TRUE(SaveWindowPicture(window, EnvironmentText(L"VARNOTTA_SCREENSHOT")));
}

TEST_F(WindowTest, EscAndEnterKeepTheWindowClearEmptiesTheBoxesBlankOrMissingPathsAreRefused) {
    const auto program = Start();
    const Controls controls(*program);
    // Esc in any box, and Enter in the folder box, neither close the window nor touch what was typed.
    for (const HWND box : {controls.text1, controls.text2, controls.text3}) {
        TypeText(box, L"abc");
        PressKey(box, VK_ESCAPE);
    }
    PressKey(controls.text1, VK_RETURN);
    EXPECT_TRUE(WaitUntil(
        [&] { return TextOf(controls.text1) + TextOf(controls.text2) + TextOf(controls.text3) == L"abcabcabc"; }));
    EXPECT_EQ(program->WaitForModal(2s).window, nullptr) << "Enter in the folder box opened a box";
    ASSERT_TRUE(IsWindow(program->window())) << "the window closed";
    Click(controls.command2);
    EXPECT_TRUE(WaitUntil([&] {
        return TextOf(controls.text1).empty() && TextOf(controls.text2).empty() && TextOf(controls.text3).empty();
    }));

    // Refused paths do not lock anything, not even while the message is up.
    for (const std::wstring& path : {std::wstring(), std::wstring(L"   ")}) {
        SetTextOf(controls.text1, path);
        Click(controls.command3);
        const ModalWindow box = program->WaitForModal();
        EXPECT_EQ(MessageBoxText(box), L"请先设定路径！") << "for \"" << path << '"';
        ExpectEnabled(controls.Locked(), true);
        PressOk(*program, box);
        EXPECT_TRUE(WaitUntil([&] { return program->Focus() == controls.command3; }, 3s))
            << "the focus did not come back to Start";
    }
    SetTextOf(controls.text1, Scratch() + L"\\no such folder\\");
    Click(controls.command3);
    const ModalWindow box = program->WaitForModal();
    EXPECT_EQ(MessageBoxText(box), L"该路径不存在！");
    ExpectEnabled(controls.Locked(), true);
    PressOk(*program, box);
}

TEST_F(WindowTest, FoldersWithPathsAroundAndPastMaxPathAreRewritten) {
    const auto program = Start();
    const Controls controls(*program);
    SetTextOf(controls.text2, L"头");
    for (const int length : {MAX_PATH - 15, MAX_PATH - 14, MAX_PATH - 2, 310}) {
        SCOPED_TRACE(testing::Message() << "folder path of " << length << " characters");
        const std::wstring folder = NewLongFolder(length);
        WriteFileBytes(L"\\\\?\\" + folder + L"\\a.txt", "abc");
        SetTextOf(controls.text1, folder + L"\\");
        Click(controls.command3);
        const ModalWindow box = program->WaitForModal();
        EXPECT_EQ(MessageBoxText(box), L"任务完成！");
        PressOk(*program, box);
        EXPECT_EQ(ReadFileBytes(L"\\\\?\\" + folder + L"\\a.txt"), Ansi(L"头") + "\r\nabc");
    }
    // A failure there names the file by its whole path.
    const std::wstring file = NewLongFolder(320) + L"\\a.txt";
    WriteFileBytes(L"\\\\?\\" + file, "abc");
    SetFileAttributesW((L"\\\\?\\" + file).c_str(), FILE_ATTRIBUTE_READONLY);
    SetTextOf(controls.text1, file.substr(0, file.size() - 6));
    Click(controls.command3);
    const ModalWindow box = program->WaitForModal();
    EXPECT_EQ(MessageBoxText(box),
              L"处理中断，已完成 0 个文件，其余文件未改动。\r\n" + file + L"\r\n" + SystemText(ERROR_ACCESS_DENIED));
    PressOk(*program, box);
}

TEST_F(WindowTest, FileHeldOpenStopsTheRunWithItsPathAndTheSystemReason) {
    const std::wstring folder = NewFolder(L"failed run");
    for (int i = 1; i <= 5; ++i) {
        WriteFileBytes(folder + L"\\f" + std::to_wstring(i) + L".txt", "content " + std::to_string(i));
    }
    // The run takes the files in the order the folder lists them; the third of them is held open.
    const std::vector<std::wstring> order = ListingOrder(folder);
    ASSERT_EQ(order.size(), 5u);
    std::string before[5];
    for (std::size_t i = 0; i < 5; ++i) {
        before[i] = ReadFileBytes(folder + L"\\" + order[i]);
    }
    const std::wstring held_path = folder + L"\\" + order[2];
    HANDLE held = CreateFileW(held_path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    const auto program = Start();
    const Controls controls(*program);
    SetTextOf(controls.text1, folder + L"\\");
    SetTextOf(controls.text2, L"H");
    Click(controls.command3);
    const ModalWindow box = program->WaitForModal(60s);
    EXPECT_EQ(MessageBoxText(box), L"处理中断，已完成 2 个文件，其余文件未改动。\r\n" + held_path + L"\r\n" +
                                       SystemText(ERROR_SHARING_VIOLATION));
    ExpectEnabled(controls.Locked(), false);
    PressOk(*program, box);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(controls.command3) != FALSE; }));
    ExpectEnabled(controls.Locked(), true);
    CloseHandle(held);

    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(testing::Message() << "file " << i << " in listing order");
        EXPECT_EQ(ReadFileBytes(folder + L"\\" + order[i]), i < 2 ? "H\r\n" + before[i] : before[i]);
    }
}

// A typical run, long because of one big file: the window answers at once throughout, shows the percentage
// done before its caption and unlocks after OK. Closed in the middle of the next run, the program ends at once;
// the file in hand and the files after it are left as they were.
TEST_F(WindowTest, TypicalLongRunShowsProgressUnlocksAfterOkAndStopsSafelyWhenClosed) {
    const std::wstring folder = NewFolder(L"typical run 普通");
    const std::wstring big = folder + L"\\big.txt";
    {
        const HANDLE file = CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        LARGE_INTEGER size{};
        size.QuadPart = std::int64_t{1} << 30;  // sparse where the system allows: quick to make
        EXPECT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file));
        CloseHandle(file);
    }
    const std::map<std::wstring, std::string> small{
        {L"a.txt", "abc"}, {L"b.txt", "b"}, {L"中文.txt", Ansi(L"第一行\r\n")}};
    for (const auto& [name, content] : small) {
        WriteFileBytes(folder + L"\\" + name, content);
    }
    const auto framed = [](const std::string& content) {
        return Ansi(L"头部\r\n") + "\r\n" + content + "\r\n" + Ansi(L"尾 T");
    };
    const std::wstring caption = kCaption;
    const auto percent_shown = [&](HWND window) {
        const std::wstring text = TextOf(window);
        const auto end = text.find(L"% - ");
        return end != std::wstring::npos && text.substr(end + 4) == caption ? std::stoi(text.substr(0, end)) : -1;
    };
    // The folder path typed with spaces around it; the head typed with Enter at its end.
    const auto start_run = [&](const Controls& controls) {
        TypeText(controls.text1, L"  " + folder + L"\\  ");
        TypeText(controls.text2, L"  头部");
        PressKey(controls.text2, VK_RETURN);
        EXPECT_TRUE(WaitUntil([&] { return TextOf(controls.text2) == L"  头部\r\n"; })) << "Enter must insert CR LF";
        SetTextOf(controls.text3, L"  尾 T  ");
        Click(controls.command3);
    };
    {
        const auto program = Start();
        const Controls controls(*program);
        start_run(controls);
        std::vector<int> shown;
        ModalWindow box;
        while ((box = program->WaitForModal(0ms)).window == nullptr) {
            DWORD_PTR ignored = 0;
            ASSERT_NE(SendMessageTimeoutW(program->window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored), 0)
                << "the window did not answer within a second";
            if (const int percent = percent_shown(program->window()); percent >= 0) {
                if (percent >= 20 && (shown.empty() || shown.back() < 20)) {  // a picture for README
                    std::wstring picture = EnvironmentText(L"VARNOTTA_SCREENSHOT");
                    SaveWindowPicture(program->window(), picture.insert(picture.size() - 4, L"-progress"));
                }
                shown.push_back(percent);
            }
            Sleep(50);
        }
        EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end())) << "the percentage went back";
        EXPECT_GT(std::set<int>(shown.begin(), shown.end()).size(), 1u) << "the percentage did not grow";
        EXPECT_EQ(MessageBoxText(box), L"任务完成！");
        ExpectEnabled(controls.Locked(), false);
        EXPECT_TRUE(IsWindowEnabled(controls.text1) && IsWindowEnabled(controls.command4));
        PressOk(*program, box);
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(controls.command3) != FALSE; }));
        ExpectEnabled(controls.Locked(), true);
        EXPECT_EQ(TextOf(program->window()), caption);
    }
    for (const auto& [name, content] : small) {
        EXPECT_EQ(ReadFileBytes(folder + L"\\" + name), framed(content));
    }

    WIN32_FILE_ATTRIBUTE_DATA before{}, after{};
    GetFileAttributesExW(big.c_str(), GetFileExInfoStandard, &before);
    const auto order = ListingOrder(folder);
    const auto big_turn = std::find(order.begin(), order.end(), L"big.txt") - order.begin();
    {
        const auto program = Start();
        const Controls controls(*program);
        start_run(controls);
        ASSERT_TRUE(WaitUntil([&] { return percent_shown(program->window()) >= 1; }, 60s));
        PostMessageW(program->window(), WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(program->WaitForExit(2s)) << "the program did not end within two seconds";
    }
    GetFileAttributesExW(big.c_str(), GetFileExInfoStandard, &after);
    EXPECT_EQ(CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime), 0) << "the big file was replaced";
    EXPECT_EQ(after.nFileSizeLow, before.nFileSizeLow);
    for (std::ptrdiff_t turn = 0; turn < static_cast<std::ptrdiff_t>(order.size()); ++turn) {
        if (turn != big_turn) {
            const std::string once = framed(small.at(order[turn]));
            EXPECT_EQ(ReadFileBytes(folder + L"\\" + order[turn]), turn < big_turn ? framed(once) : once);
        }
    }
    EXPECT_EQ(ListingOrder(folder).size(), order.size()) << "a temporary file was left";
}

TEST_F(WindowTest, BrowseCancelKeepsTheFolderBoxAndOkFillsItWithABackslash) {
    // A folder on the desktop, which the browser lists right under its top item.
    wchar_t desktop[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop), S_OK);
    const std::wstring picked = std::wstring(desktop) + L"\\varnotta 选中";
    ASSERT_TRUE(CreateDirectoryW(picked.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);

    const auto program = Start();
    const Controls controls(*program);
    SetTextOf(controls.text1, L"保留 kept");

    Click(controls.command1);
    ModalWindow browser = program->WaitForModal();
    ASSERT_NE(browser.window, nullptr) << "no folder browser";
    EXPECT_NE(browser.ChildWithText(L"请选择路径"), nullptr) << "the browser does not show its title";
    Click(browser.ChildWithId(IDCANCEL));
    EXPECT_TRUE(program->WaitForModalToClose(browser.window));
    EXPECT_EQ(TextOf(controls.text1), L"保留 kept");

    Click(controls.command1);
    browser = program->WaitForModal();
    ASSERT_NE(browser.window, nullptr);
    HWND tree = nullptr;
    for (const HWND child : browser.children) {
        if (ClassOf(child) == L"SysTreeView32") {
            tree = child;
        }
    }
    ASSERT_NE(tree, nullptr);
    const auto selected = [&] {
        DWORD_PTR item = 0;
        SendMessageTimeoutW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, SMTO_ABORTIFHUNG, 5000, &item);
        return item;
    };
    const DWORD_PTR first_choice = selected();
    TypeText(tree, L"varnotta");  // the tree selects the item whose name starts with what is typed
    EXPECT_TRUE(WaitUntil([&] { return selected() != first_choice; })) << "typing did not select the folder";
    const HWND ok = browser.ChildWithId(IDOK);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(ok) != FALSE; }));
    Click(ok);
    EXPECT_TRUE(program->WaitForModalToClose(browser.window));
    EXPECT_EQ(TextOf(controls.text1), picked + L"\\");
    RemoveDirectoryW(picked.c_str());
}

// Exit opens the maker's page and ends the program; the close box ends it without opening anything.
TEST_F(WindowTest, ExitOpensTheHomePageTheCloseBoxJustEnds) {
    const std::wstring log = EnvironmentText(L"VARNOTTA_URL_LOG");
    for (const bool exit_button : {false, true}) {
        SCOPED_TRACE(exit_button ? "Exit" : "close box");
        const std::string logged_before = ReadFileBytes(log);
        const auto program = Start();
        if (exit_button) {
            Click(Controls(*program).command4);
        } else {
            PostMessageW(program->window(), WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        DWORD exit_code = 1;
        EXPECT_TRUE(program->WaitForExit(10s, &exit_code));
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
TEST_F(WindowTest, SkinLibraryComesFromTheProgramsFolderOnly) {
    const std::wstring program_folder = NewFolder(L"皮肤 skin");
    const std::wstring current_folder = NewFolder(L"planted");
    ASSERT_TRUE(
        CopyFileW(EnvironmentText(L"VARNOTTA_PROGRAM").c_str(), (program_folder + L"\\varnotta.exe").c_str(), TRUE));
    for (const std::wstring& beside : {current_folder, program_folder}) {
        ASSERT_TRUE(
            CopyFileW(EnvironmentText(L"VARNOTTA_SKIN_RECORDER").c_str(), (beside + L"\\SkinH_VB6.dll").c_str(), TRUE));
        const auto program = Start(program_folder + L"\\varnotta.exe", current_folder);
        PostMessageW(program->window(), WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(program->WaitForExit(10s));
        EXPECT_EQ(GetFileAttributesW((current_folder + L"\\SkinH_VB6.calls").c_str()), INVALID_FILE_ATTRIBUTES)
            << "the planted library was loaded";
    }
    EXPECT_EQ(ReadFileBytes(program_folder + L"\\SkinH_VB6.calls"), Ansi(program_folder) + "/Aero.she" + '\0' + '\0');
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Coordinates of the program's windows as they are on the screen, not scaled for a DPI-unaware reader.
    // Per monitor where the system has it (looked up: the headers offer only what Windows 7 has).
    using SetAwareness = BOOL(WINAPI*)(HANDLE);
    const auto set_awareness = reinterpret_cast<SetAwareness>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    const auto per_monitor_v2 = reinterpret_cast<HANDLE>(-4);  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (set_awareness == nullptr || !set_awareness(per_monitor_v2)) {
        SetProcessDPIAware();
    }
    // File text is in the system ANSI code page; these tests are written for the Chinese one.
    if (GetACP() != 936) {
        fprintf(stderr, "the ANSI code page is %u, not 936\n", GetACP());
        return 1;
    }
    for (const wchar_t* name : {L"VARNOTTA_PROGRAM", L"VARNOTTA_SKIN_RECORDER", L"VARNOTTA_E2E_FOLDER",
                                L"VARNOTTA_URL_LOG", L"VARNOTTA_SCREENSHOT"}) {
        if (EnvironmentText(name).empty()) {
            fprintf(stderr, "%ls is not set\n", name);
            return 1;
        }
    }
    return RUN_ALL_TESTS();
}
