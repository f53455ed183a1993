#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

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
};

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
};

void RunBatch(BatchView& view);
