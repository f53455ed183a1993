#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <variant>

#include "batch/file_selection.h"
#include "batch/head_tail_edit.h"
#include "batch/head_tail_texts.h"
#include "batch/run_outcome.h"
#include "platform/file_system.h"

// The work behind the Start button: check the folder path, lock the inputs, rewrite every ".txt" file
// directly in the folder (or the files the console program selects) with the head and tail texts, report,
// unlock.

// The three text boxes the run reads.
enum class BatchText { Text1, Text2, Text3 };  // folder path, head text, tail text

// The five controls the run locks while it works, in the order it disables and enables them.
enum class BatchControl { Command1, Command2, Text2, Text3, Command3 };  // Browse, Clear, head, tail, Start

// Where a run stands, for front ends that show progress.
struct BatchProgress {
    std::int64_t files_done = 0;
    std::int64_t file_count = 0;
    std::uint64_t bytes_done = 0;  // of the current file's former content
    std::filesystem::path current_file;
    std::uint64_t current_size = 0;  // of the current file, as the folder listing gave it
    std::uint64_t bytes_before = 0;  // of the files before it, rewritten or passed over
    std::uint64_t bytes_total = 0;   // of all the collected files
};

// How much of the run is done, by bytes, from 0 to 100. It never goes back as the run goes on.
int PercentDone(const BatchProgress& progress);

// What a run needs of the window.
class BatchView {
  public:
    virtual ~BatchView() = default;

    virtual std::u16string ReadText(BatchText box) = 0;
    virtual void SetEnabled(BatchControl control, bool enabled) = 0;
    // How the run ended, or why Start refused it. The window shows OutcomeText in a modal box titled
    // "Varnotta" with one OK button and no icon.
    virtual void ShowOutcome(const RunOutcome& outcome) = 0;
    // Called as files are rewritten; front ends without a progress display ignore it.
    virtual void ReportProgress(const BatchProgress&) {}
};

// What a run works from, decided once when Start is pressed: nothing typed later changes it.
struct RunInputs {
    platform::Path folder;  // trimmed, as typed
    HeadTailTexts texts;
    RunMode mode = RunMode::Add;                  // the window always adds; Check is not a run that RewriteFolder makes
    std::optional<HeadTailTexts> old_texts = {};  // for a swap: the texts that the new ones take the place of
    bool note_added = false;    // hand back what the run adds to each file (RunOutcome::added), for an undo
    FileSelection selection{};  // the window's rule unless the console program asks for other files
};

// Start's checks of the folder path, typed as in the window: the refusal, or the folder to run in.
std::variant<platform::Path, Refusal> FolderToRun(std::u16string_view folder_text);

// The beginning of Start: reads the three texts and checks the folder path. A refusal is shown and nothing
// else happens; otherwise the five controls are locked and the run's inputs come back.
std::optional<RunInputs> BeginRun(BatchView& view);

// The run once the window is locked: collects the folder's text files and rewrites them, reporting progress
// to `progress` (from the thread it runs on). A stop requested through `stop` ends it early, leaving the file
// in hand as it was. Running out of memory or threads stops the run as a failure of the file in hand does.
RunOutcome RewriteFolder(const RunInputs& inputs, const std::function<void(const BatchProgress&)>& progress,
                         std::stop_token stop = {});

// Disables the five controls for work on the folder's files, or enables them again afterwards.
void LockControls(BatchView& view, bool locked);

// The end of Start: shows the outcome and unlocks the five controls.
void EndRun(BatchView& view, const RunOutcome& outcome);

// The whole of Start for front ends that wait for the run: BeginRun, RewriteFolder, EndRun.
void RunBatch(BatchView& view, std::stop_token stop = {}, const FileSelection& selection = {});
