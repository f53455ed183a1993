#include "app/velmo.h"

#include <utility>

#include "app/dpi.h"
#include "app/given_folder.h"
#include "app/resource.h"
#include "app/undo_texts.h"
#include "app/version.h"
#include "batch/trim.h"
#include "batch/undo_run.h"

#include <exception>

namespace {

constexpr wchar_t kClassName[] = L"Velmo";
constexpr DWORD kFrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kFrameExStyle = WS_EX_CONTROLPARENT;

constexpr char16_t kBrowseTitle[] = u"请选择路径";
constexpr char16_t kCaption[] = u"" VARNOTTA_CAPTION;

// Posted by the worker when a run has ended; the progress in the caption is read this often.
constexpr UINT kRunFinished = WM_APP + 1;
constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressInterval = 100;  // milliseconds
constexpr char16_t kExitCommandLine[] = u"explorer " VARNOTTA_HOME_PAGE;
// The system menu's own commands are 0xF000 and above, and their low four bits are the system's.
constexpr UINT kUndoCommand = 0x0010;

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

struct ControlStyle {
    const wchar_t* window_class;
    DWORD style;
    DWORD ex_style;
};

ControlStyle StyleOf(ControlKind kind) {
    constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
    switch (kind) {
        case ControlKind::SingleLineText:
            return {L"EDIT", kChild | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
        case ControlKind::MultiLineText:
            return {L"EDIT", kChild | WS_TABSTOP | ES_LEFT | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL,
                    WS_EX_CLIENTEDGE};
        case ControlKind::Button:
            return {L"BUTTON", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0};
        case ControlKind::Label:
            return {L"STATIC", kChild | SS_LEFT | SS_NOPREFIX, 0};
    }
    return {L"STATIC", kChild, 0};
}

Control ControlOf(BatchText box) {
    switch (box) {
        case BatchText::Text1:
            return Control::Text1;
        case BatchText::Text2:
            return Control::Text2;
        case BatchText::Text3:
            return Control::Text3;
    }
    return Control::Text1;
}

Control ControlOf(BatchControl control) {
    switch (control) {
        case BatchControl::Command1:
            return Control::Command1;
        case BatchControl::Command2:
            return Control::Command2;
        case BatchControl::Text2:
            return Control::Text2;
        case BatchControl::Text3:
            return Control::Text3;
        case BatchControl::Command3:
            return Control::Command3;
    }
    return Control::Command3;
}

platform::UniqueFont CreateWindowFont(UINT dpi) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(kFontPoints, static_cast<int>(dpi), 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(font.lfFaceName, kFontFace, LF_FACESIZE);
    return platform::UniqueFont(CreateFontIndirectW(&font));
}

}  // namespace

Velmo::~Velmo() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

bool Velmo::Create(HINSTANCE instance, int show_command) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = &Velmo::WindowProcedure;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_VARNOTTA));
    window_class.hIconSm =
        static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_VARNOTTA), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kClassName;
    if (RegisterClassExW(&window_class) == 0) {
        return false;
    }

    // Born on the primary monitor, so that its DPI is the one the window is first laid out for.
    RECT work_area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work_area, 0);
    if (CreateWindowExW(kFrameExStyle, kClassName, reinterpret_cast<const wchar_t*>(kCaption), kFrameStyle,
                        work_area.left, work_area.top, 1, 1, nullptr, nullptr, instance, this) == nullptr) {
        return false;
    }
    CentreOnPrimaryWorkArea();
    Form_Load();
    ShowGivenFolder(platform::ProgramArguments());
    platform::AcceptDroppedFiles(window_);
    ShowWindow(window_, show_command);
    SetFocus(Item(Control::Text1));
    return true;
}

bool Velmo::HandleDialogKey(MSG& message) {
    if (window_ == nullptr) {
        return false;
    }
    // Esc does nothing. Handed on, it would reach a multi-line box in dialog mode, which answers it by asking
    // its parent to close, and the program would end with the typed text lost.
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE &&
        (message.hwnd == window_ || IsChild(window_, message.hwnd))) {
        return true;
    }
    return IsDialogMessageW(window_, &message) != FALSE;
}

std::u16string Velmo::ReadText(BatchText box) {
    const HWND edit = Item(ControlOf(box));
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return std::u16string(text.begin(), text.end());
}

void Velmo::SetEnabled(BatchControl control, bool enabled) {
    EnableWindow(Item(ControlOf(control)), enabled);
}

void Velmo::ShowOutcome(const RunOutcome& outcome) {
    if (const auto text = OutcomeText(outcome)) {
        platform::ShowMessageBox(window_, *text, u"" VARNOTTA_PRODUCT_NAME);
    }
}

LRESULT CALLBACK Velmo::WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Velmo*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Velmo*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        return DefWindowProcW(window, message, wparam, lparam);
    }
    return self->HandleMessage(message, wparam, lparam);
}

LRESULT Velmo::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            OnCreate();
            return 0;
        case WM_COMMAND:
            OnCommand(LOWORD(wparam), HIWORD(wparam));
            return 0;
        case WM_ACTIVATE:
            OnActivate(LOWORD(wparam) != WA_INACTIVE, HIWORD(wparam) != 0);
            return 0;
        case WM_NEXTDLGCTL:
            OnNextDialogControl(wparam, lparam);
            return 0;
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
            return 0;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_SETCURSOR:
            return OnSetCursor(reinterpret_cast<HWND>(wparam), LOWORD(lparam))
                       ? TRUE
                       : DefWindowProcW(window_, message, wparam, lparam);
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            OnEndSession(wparam != FALSE);
            return 0;
        case WM_TIMER:
            if (wparam == kProgressTimer) {
                OnProgressTimer();
            }
            return 0;
        case kRunFinished:
            OnRunFinished();
            return 0;
        case WM_SYSCOMMAND:
            if ((wparam & 0xFFF0) == kUndoCommand) {
                OnUndoChosen();
                return 0;
            }
            return DefWindowProcW(window_, message, wparam, lparam);
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wparam));
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            if (message == TaskbarProgress::ButtonCreatedMessage()) {
                taskbar_.Connect();
                return 0;
            }
            return DefWindowProcW(window_, message, wparam, lparam);
    }
}

void Velmo::OnCreate() {
    CreateControls();
    LayOut(DpiOfWindow(window_));
    AddUndoItem();
}

void Velmo::OnCommand(int id, int notification) {
    if (notification != BN_CLICKED) {
        return;
    }
    switch (id) {
        case ControlId(Control::Command1):
            Command1_Click();
            break;
        case ControlId(Control::Command2):
            Command2_Click();
            break;
        case ControlId(Control::Command3):
            Command3_Click();
            break;
        case ControlId(Control::Command4):
            Command4_Click();
            break;
        default:
            break;
    }
}

// A plain window, unlike a dialog, does not remember which control had the focus when another window
// came to the front; without this the focus would be lost after every message box.
void Velmo::OnActivate(bool active, bool minimized) {
    if (!active) {
        const HWND focus = GetFocus();
        focus_when_deactivated_ = IsChild(window_, focus) ? focus : nullptr;
        return;
    }
    if (minimized) {
        return;
    }
    HWND focus = focus_when_deactivated_;
    if (focus == nullptr || !IsWindowEnabled(focus)) {
        focus = GetNextDlgTabItem(window_, nullptr, FALSE);
    }
    SetFocus(focus != nullptr ? focus : window_);
}

// Multi-line edit boxes ask their parent to move the focus when Tab is pressed in them, as in a dialog.
void Velmo::OnNextDialogControl(WPARAM wparam, LPARAM lparam) {
    HWND next = nullptr;
    if (LOWORD(lparam) != 0) {
        next = reinterpret_cast<HWND>(wparam);
    } else {
        next = GetNextDlgTabItem(window_, GetFocus(), wparam != 0);
    }
    if (next != nullptr) {
        SetFocus(next);
    }
}

void Velmo::OnDpiChanged(UINT dpi, const RECT& suggested) {
    LayOut(dpi);
    FitFrame(dpi, POINT{suggested.left, suggested.top});
}

// The close box, Alt+F4 and Close in the system menu.
void Velmo::OnClose() {
    if (run_) {
        EndDuringRun();
        return;
    }
    DestroyWindow(window_);
}

// The arrow with the hourglass over the whole window while a run works.
bool Velmo::OnSetCursor(HWND over, int hit_test) {
    if (!run_ || hit_test != HTCLIENT || (over != window_ && !IsChild(window_, over))) {
        return false;
    }
    SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
    return true;
}

// The session ends, or the Restart Manager closes this program alone so that an installer can replace files
// in use: either way the program goes. A run stops here and now, safely, and shows nothing.
void Velmo::OnEndSession(bool ending) {
    if (!ending) {
        return;
    }
    if (run_) {
        KillTimer(window_, kProgressTimer);
        run_->RequestStop();
        run_->Finish();
        run_.reset();
    }
    DestroyWindow(window_);
}

void Velmo::OnProgressTimer() {
    if (run_) {
        ShowProgress(run_->percent());
    }
}

// Any program may post this message: only the one the worker posts as it ends counts. A run that rewrote files
// becomes the one an undo takes off; an undo leaves what it did not get to.
void Velmo::OnRunFinished() {
    if (!run_ || !run_->done()) {
        return;
    }
    KillTimer(window_, kProgressTimer);
    RunOutcome outcome = run_->Finish();
    run_.reset();
    ShowProgress(-1);
    if (ending_) {
        // A window that is closing still says what a stop could not undo, such as new content kept in a copy.
        if (outcome.kind != OutcomeKind::Completed) {
            ShowOutcome(outcome);
        }
        DestroyWindow(window_);
        return;
    }
    const bool undone = std::exchange(undoing_, false);
    if (undone || outcome.files_done > 0) {
        undo_list_ = std::move(outcome.added);
    }
    UpdateUndoItem();
    if (!undone) {
        EndRun(*this, outcome);
        return;
    }
    if (const auto text = UndoOutcomeText(outcome)) {
        platform::ShowMessageBox(window_, *text, u"" VARNOTTA_PRODUCT_NAME);
    }
    LockControls(*this, false);
}

// The item's state decides, however the command comes: from the menu, its key, or a message of another program.
void Velmo::OnUndoChosen() {
    if ((GetMenuState(GetSystemMenu(window_, FALSE), kUndoCommand, MF_BYCOMMAND) & MF_GRAYED) != 0 ||
        !platform::AskYesNo(window_, UndoQuestion(undo_list_.size()), u"" VARNOTTA_PRODUCT_NAME)) {
        return;
    }
    LockControls(*this, true);
    undoing_ = true;
    StartInBackground(undo_list_.front().path,
                      [added = undo_list_](const BackgroundRun::Report& report, std::stop_token stop) {
                          return UndoAdded(added, report, stop);
                      });
}

// A folder dropped from Explorer goes into the folder box as one given on the command line does; a drop
// during a run would change the folder under it, so it is let go of unread.
void Velmo::OnDropFiles(HDROP drop) {
    const auto paths = platform::TakeDroppedPaths(drop);
    if (!run_) {
        ShowGivenFolder(paths);
    }
}

// Only the first path counts, as Explorer's Send To may hand over several.
void Velmo::ShowGivenFolder(const std::vector<std::u16string>& paths) {
    if (paths.empty()) {
        return;
    }
    if (const auto folder = FolderBoxText(platform::LookUpGivenPath(paths.front()))) {
        SetWindowTextW(Item(Control::Text1), Wide(*folder));
    }
}

void Velmo::Form_Load() {
    skin_ = platform::SkinLibrary::Load();
    skin_.AttachEx(platform::ProgramFolder() + u"/Aero.she", u"");
}

void Velmo::Command1_Click() {
    auto path = platform::BrowseForFolder(window_, kBrowseTitle, TrimSpaces(ReadText(BatchText::Text1)));
    if (!path) {
        return;
    }
    if (path->empty() || path->back() != u'\\') {
        *path += u'\\';
    }
    SetWindowTextW(Item(Control::Text1), Wide(*path));
}

void Velmo::Command2_Click() {
    SetWindowTextW(Item(Control::Text1), L"");
    SetWindowTextW(Item(Control::Text2), L"");
    SetWindowTextW(Item(Control::Text3), L"");
}

void Velmo::Command3_Click() {
    StartRun();
}

void Velmo::Command4_Click() {
    platform::LaunchCommandLine(kExitCommandLine, SW_SHOWMINIMIZED);
    if (run_) {
        EndDuringRun();
        return;
    }
    DestroyWindow(window_);
}

// Start's checks and the locking happen here; the collection and the rewrites on a worker, whose end comes
// back as kRunFinished.
void Velmo::StartRun() {
    auto inputs = BeginRun(*this);
    if (!inputs) {
        return;
    }
    inputs->note_added = true;
    const platform::Path folder = inputs->folder;
    StartInBackground(folder, [inputs = std::move(*inputs)](const BackgroundRun::Report& report, std::stop_token stop) {
        return RewriteFolder(inputs, report, stop);
    });
}

// A worker that cannot start ends the work at once, reported as a run short of threads at `where`.
void Velmo::StartInBackground(const platform::Path& where, BackgroundRun::Work work) {
    try {
        run_ = std::make_unique<BackgroundRun>(std::move(work), window_, kRunFinished);
    } catch (const std::exception&) {
        undoing_ = false;
        EndRun(*this, FailedRun(0, where, WriteProblem::OutOfResources));
        return;
    }
    UpdateUndoItem();
    ShowProgress(0);
    SetTimer(window_, kProgressTimer, kProgressInterval, nullptr);
}

void Velmo::AddUndoItem() {
    const HMENU menu = GetSystemMenu(window_, FALSE);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | MF_GRAYED, kUndoCommand, reinterpret_cast<const wchar_t*>(kUndoItem));
}

// Enabled while there is something to undo and no run or undo is working.
void Velmo::UpdateUndoItem() {
    const bool enabled = !undo_list_.empty() && !run_;
    EnableMenuItem(GetSystemMenu(window_, FALSE), kUndoCommand, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

// The window goes at once; the program ends when the run has stopped, which leaves the file in hand as it was.
void Velmo::EndDuringRun() {
    ending_ = true;
    run_->RequestStop();
    ShowWindow(window_, SW_HIDE);
}

// The percentage before the caption and on the taskbar button; -1 puts the window at rest.
void Velmo::ShowProgress(int percent) {
    if (percent == shown_percent_) {
        return;
    }
    shown_percent_ = percent;
    if (percent < 0) {
        SetWindowTextW(window_, reinterpret_cast<const wchar_t*>(kCaption));
        taskbar_.Clear(window_);
        return;
    }
    const std::wstring caption = std::to_wstring(percent) + L"% - " + reinterpret_cast<const wchar_t*>(kCaption);
    SetWindowTextW(window_, caption.c_str());
    taskbar_.Show(window_, percent);
}

void Velmo::CreateControls() {
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window_, GWLP_HINSTANCE));
    for (const ControlRow& row : kControlRows) {
        const ControlStyle style = StyleOf(row.kind);
        controls_[static_cast<std::size_t>(row.control)] =
            CreateWindowExW(style.ex_style, style.window_class, row.caption, style.style, 0, 0, 0, 0, window_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(row.control))), instance, nullptr);
    }
}

void Velmo::LayOut(UINT dpi) {
    platform::UniqueFont font = CreateWindowFont(dpi);
    for (const ControlRow& row : kControlRows) {
        const RECT place = PixelRect(row.twips, dpi);
        const HWND control = Item(row.control);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    font_ = std::move(font);  // the controls have let go of the old font by now
    InvalidateRect(window_, nullptr, TRUE);
}

void Velmo::FitFrame(UINT dpi, POINT top_left) {
    const RECT client{0, 0, TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
    const RECT frame = FrameAroundClient(client, kFrameStyle, kFrameExStyle, dpi);
    SetWindowPos(window_, nullptr, top_left.x, top_left.y, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Velmo::CentreOnPrimaryWorkArea() {
    const UINT dpi = DpiOfWindow(window_);
    const RECT client{0, 0, TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi)};
    const RECT frame = FrameAroundClient(client, kFrameStyle, kFrameExStyle, dpi);
    RECT work_area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work_area, 0);
    const LONG left = work_area.left + (work_area.right - work_area.left - (frame.right - frame.left)) / 2;
    const LONG top = work_area.top + (work_area.bottom - work_area.top - (frame.bottom - frame.top)) / 2;
    FitFrame(dpi, POINT{left, top});
}
