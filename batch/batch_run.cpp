#include "batch/batch_run.h"

#include <algorithm>
#include <array>

#include "batch/add_head_tail.h"
#include "batch/folder_scan.h"
#include "batch/messages.h"
#include "batch/trim.h"

namespace {

constexpr std::array kLockedControls{BatchControl::Command1, BatchControl::Command2, BatchControl::Text2,
                                     BatchControl::Text3, BatchControl::Command3};

std::u16string CountText(std::int64_t count) {
    const auto digits = std::to_string(count);
    return std::u16string(digits.begin(), digits.end());
}

// The box that reports a stopped run: how far it got, where it stopped, and why.
std::u16string FailureMessage(std::int64_t files_done, const platform::Path& where, const platform::Error& error) {
    std::u16string text = std::u16string(messages::kStoppedBefore) + CountText(files_done) +
                          std::u16string(messages::kStoppedAfter) + u"\r\n" + platform::PathText(where) + u"\r\n" +
                          error.text;
    if (!error.kept_copy.empty()) {
        text += u"\r\n" + std::u16string(messages::kKeptCopy) + platform::PathText(error.kept_copy);
    }
    return text;
}

struct RunFailure {
    platform::Path where;
    platform::Error error;
};

// Rewrites every collected file that is still a normal file when its turn comes; stops at the first failure
// or when asked to.
std::optional<RunFailure> RewriteEach(const BatchInputs& inputs, const FileList& files, BatchProgress& progress,
                                      const std::function<void(const BatchProgress&)>& report, std::stop_token stop) {
    HeadTailWriter writer(inputs.head, inputs.tail, stop);
    progress.file_count = static_cast<std::int64_t>(files.size());
    for (const auto& file : files) {
        progress.bytes_total += file.size;
    }
    for (const auto& file : files) {
        if (stop.stop_requested()) {
            return std::nullopt;
        }
        progress.current_file = file.path;
        progress.current_size = file.size;
        progress.bytes_done = 0;
        report(progress);
        auto normal = platform::IsNormalFile(file.path);
        if (!normal.ok()) {
            return RunFailure{file.path, normal.error()};
        }
        if (normal.value()) {
            auto status = writer.AddHeadTail(file.path, [&](std::uint64_t bytes) {
                progress.bytes_done = bytes;
                report(progress);
            });
            if (!status.ok()) {
                return stop.stop_requested() ? std::nullopt : std::optional(RunFailure{file.path, status.error()});
            }
            ++progress.files_done;
        }  // otherwise gone, hidden, system, or no longer a plain file: skipped without a word
        progress.bytes_before += file.size;
    }
    return std::nullopt;
}

}  // namespace

int PercentDone(const BatchProgress& progress) {
    if (progress.bytes_total == 0) {
        return progress.file_count == 0 ? 0 : static_cast<int>(100 * progress.files_done / progress.file_count);
    }
    // A file that grows while it is copied counts no more than its listed size, so the figure never goes back.
    const std::uint64_t done = progress.bytes_before + std::min(progress.bytes_done, progress.current_size);
    return static_cast<int>(std::min<std::uint64_t>(100, done * 100 / progress.bytes_total));
}

std::optional<std::u16string> RefuseStart(std::u16string_view folder_text) {
    if (IsBlank(folder_text)) {
        return std::u16string(messages::kSetPathFirst);
    }
    const auto folder = platform::PathFromText(TrimSpaces(folder_text));
    if (!folder || !FolderExists(*folder)) {
        return std::u16string(messages::kPathMissing);
    }
    return std::nullopt;
}

void LockControls(BatchView& view, bool locked) {
    for (const auto control : kLockedControls) {
        view.SetEnabled(control, !locked);
    }
}

std::optional<std::u16string> RewriteFolder(const BatchInputs& inputs,
                                            const std::function<void(const BatchProgress&)>& progress,
                                            std::stop_token stop) {
    const platform::Path folder = platform::PathFromText(TrimSpaces(inputs.folder)).value_or(platform::Path());
    auto files = CollectTxtFiles(folder);
    if (!files.ok()) {
        return FailureMessage(0, folder, files.error());
    }
    BatchProgress state;
    const auto failure = RewriteEach(inputs, files.value(), state, progress, stop);
    if (state.files_done > 0) {
        platform::SyncFolder(folder);  // once for the whole run rather than after every rename
    }
    if (failure) {
        return FailureMessage(state.files_done, failure->where, failure->error);
    }
    if (files.value().empty() || stop.stop_requested()) {
        return std::nullopt;
    }
    return std::u16string(messages::kTaskDone);
}

void RunBatch(BatchView& view) {
    const BatchInputs inputs{view.ReadText(BatchText::Text1), view.ReadText(BatchText::Text2),
                             view.ReadText(BatchText::Text3)};
    if (const auto refusal = RefuseStart(inputs.folder)) {
        view.ShowMessage(*refusal);
        return;
    }
    LockControls(view, true);
    if (const auto message =
            RewriteFolder(inputs, [&](const BatchProgress& progress) { view.ReportProgress(progress); })) {
        view.ShowMessage(*message);
    }
    LockControls(view, false);
}
