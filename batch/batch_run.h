#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

// The work behind the Start button: check the folder path, lock the inputs, rewrite every ".txt" file
// directly in the folder with the head and tail texts, report, unlock.

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
    // A modal box titled "Varnotta" with one OK button and no icon.
    virtual void ShowMessage(const std::u16string& text) = 0;
    // Called as files are rewritten; front ends without a progress display ignore it.
    virtual void ReportProgress(const BatchProgress&) {}
    // Called at the end of a run that a stop ended early, after the message it answered, if any.
    virtual void ReportStopped(std::int64_t /*files_done*/) {}
};

// The three texts as they were when Start was pressed; nothing typed later changes a run.
struct BatchInputs {
    std::u16string folder;
    std::u16string head;
    std::u16string tail;
};

// Start's checks of the folder path, made before anything is locked: the message that refuses the run, or
// nothing when it may go ahead.
std::optional<std::u16string> RefuseStart(std::u16string_view folder_text);

// Disables (locked) or enables the five controls, in their order.
void LockControls(BatchView& view, bool locked);

// The run once the window is locked: collects the folder's text files and rewrites them, reporting progress
// to `progress` (from the thread it runs on). Answers the message that ends it: "任务完成！" or the report
// of a stopped run; nothing when the folder holds no text file or when `stop` asked it to end early, in
// which case the file in hand is left as it was. Running out of memory or threads stops the run as a
// failure of the file in hand does.
std::optional<std::u16string> RewriteFolder(const BatchInputs& inputs,
                                            const std::function<void(const BatchProgress&)>& progress,
                                            std::stop_token stop = {});

// The whole of Start for front ends that wait for the run: checks, locks, rewrites, reports, unlocks. A stop
// requested through `stop` ends the run early, as it does RewriteFolder.
void RunBatch(BatchView& view, std::stop_token stop = {});
