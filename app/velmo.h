#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/background_run.h"
#include "app/layout.h"
#include "app/taskbar_progress.h"
#include "batch/batch_run.h"
#include "platform/win32/shell.h"
#include "platform/win32/unique_handle.h"

// The program's one window: a folder box with Browse, the head and tail boxes, and Clear, Start and Exit.
// It is the view the batch run reads its texts from and locks while it works. The run itself goes on a
// worker, so the window keeps answering and shows how far the run has got in its caption and on the taskbar.
// Its system menu can undo the last run while the program stays open, the same way.
class Velmo final : public BatchView {
  public:
    Velmo() = default;
    Velmo(const Velmo&) = delete;
    Velmo& operator=(const Velmo&) = delete;
    ~Velmo() override;

    // Creates the window centred on the primary monitor, attaches the skin and shows it.
    bool Create(HINSTANCE instance, int show_command);

    // Tab, Shift+Tab and the other dialog keys between the controls, and Esc, which does nothing; true when
    // `message` was handled.
    bool HandleDialogKey(MSG& message);

    std::u16string ReadText(BatchText box) override;
    void SetEnabled(BatchControl control, bool enabled) override;
    void ShowOutcome(const RunOutcome& outcome) override;

  private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

    void OnCreate();
    void OnCommand(int id, int notification);
    void OnActivate(bool active, bool minimized);
    void OnNextDialogControl(WPARAM wparam, LPARAM lparam);
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    void OnClose();
    bool OnSetCursor(HWND over, int hit_test);
    void OnEndSession(bool ending);
    void OnProgressTimer();
    void OnRunFinished();
    void OnDropFiles(HDROP drop);
    void OnUndoChosen();
    void ShowGivenFolder(const std::vector<std::u16string>& paths);

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

    void StartRun();
    void StartInBackground(const platform::Path& where, BackgroundRun::Work work);
    void AddUndoItem();
    void UpdateUndoItem();
    void EndDuringRun();
    void ShowProgress(int percent);

    void CreateControls();
    void LayOut(UINT dpi);
    void FitFrame(UINT dpi, POINT top_left);
    void CentreOnPrimaryWorkArea();
    HWND Item(Control control) const { return controls_[static_cast<std::size_t>(control)]; }

    HWND window_ = nullptr;
    std::array<HWND, kControlRows.size()> controls_{};
    platform::UniqueFont font_;
    platform::SkinLibrary skin_;
    HWND focus_when_deactivated_ = nullptr;
    std::unique_ptr<BackgroundRun> run_;  // a run or an undo
    bool undoing_ = false;                // run_ is an undo
    std::vector<AddedTexts> undo_list_;   // what the last run added and no undo has taken off yet
    int shown_percent_ = -1;              // in the caption; -1 at rest
    bool ending_ = false;                 // the window goes as soon as the run has stopped
    TaskbarProgress taskbar_;
};
