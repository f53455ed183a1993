#pragma once

#include <windows.h>

#include <array>
#include <cstddef>

// The window's controls and where they sit, in twips (1/1440 inch) relative to the client area.

enum class Control { Text1, Command1, Text2, Text3, Command2, Command3, Label1, Label2, Label3, Command4 };

enum class ControlKind { SingleLineText, MultiLineText, Button, Label };

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

struct ControlRow {
    Control control;
    ControlKind kind;
    const wchar_t* caption;
    TwipsRect twips;
    int tab_index;
};

inline constexpr int kClientWidthTwips = 6675;
inline constexpr int kClientHeightTwips = 4080;

// In tab order: the controls are created in this order, which is the order Tab moves the focus in.
inline constexpr std::array<ControlRow, 10> kControlRows{{
    {Control::Text1, ControlKind::SingleLineText, L"", {1320, 360, 3855, 285}, 0},
    {Control::Command1, ControlKind::Button, L"浏 览", {5400, 360, 1215, 375}, 1},
    {Control::Text2, ControlKind::MultiLineText, L"", {1320, 1080, 3855, 1335}, 2},
    {Control::Text3, ControlKind::MultiLineText, L"", {1320, 2640, 3855, 1335}, 3},
    {Control::Command2, ControlKind::Button, L"清 空", {5400, 1200, 1215, 375}, 4},
    {Control::Command3, ControlKind::Button, L"开 始", {5400, 2040, 1215, 375}, 5},
    {Control::Label1, ControlKind::Label, L"头部内容:", {120, 1080, 855, 495}, 6},
    {Control::Label2, ControlKind::Label, L"尾部内容:", {240, 2640, 855, 495}, 7},
    {Control::Label3, ControlKind::Label, L"TXT文件目录:", {120, 360, 1215, 255}, 8},
    {Control::Command4, ControlKind::Button, L"退 出", {5400, 2760, 1215, 375}, 9},
}};

constexpr bool RowsFollowTabOrder() {
    for (std::size_t i = 0; i < kControlRows.size(); ++i) {
        if (kControlRows[i].tab_index != static_cast<int>(i) ||
            static_cast<std::size_t>(kControlRows[i].control) != i) {
            return false;
        }
    }
    return true;
}
static_assert(RowsFollowTabOrder(), "rows must be listed by tab index, each at its Control's position");

inline constexpr int kFontPoints = 9;
inline constexpr wchar_t kFontFace[] = L"宋体";

// Control identifiers start above IDOK and IDCANCEL, which the dialog keys Enter and Esc send.
constexpr int ControlId(Control control) {
    return 100 + static_cast<int>(control);
}

// The one conversion of layout units: twips to pixels at `dpi` dots per inch.
inline int TwipsToPixels(int twips, UINT dpi) {
    return MulDiv(twips, static_cast<int>(dpi), 1440);
}

inline RECT PixelRect(const TwipsRect& twips, UINT dpi) {
    const int left = TwipsToPixels(twips.left, dpi);
    const int top = TwipsToPixels(twips.top, dpi);
    return RECT{left, top, left + TwipsToPixels(twips.width, dpi), top + TwipsToPixels(twips.height, dpi)};
}
