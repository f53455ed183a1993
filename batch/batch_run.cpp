#include "batch/batch_run.h"

#include <array>
#include <optional>

#include "batch/add_head_tail.h"
#include "batch/folder_scan.h"
#include "batch/messages.h"
#include "batch/trim.h"

namespace {

constexpr std::array kLockedControls{BatchControl::Command1, BatchControl::Command2, BatchControl::Text2,
                                     BatchControl::Text3, BatchControl::Command3};

void SetLocked(BatchView& view, bool locked) {
    for (const auto control : kLockedControls) {
        view.SetEnabled(control, !locked);
    }
}

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
    std::int64_t files_done;
    platform::Path where;
    platform::Error error;
};

// Rewrites every collected file that is still a normal file when its turn comes; stops at the first failure.
std::optional<RunFailure> RewriteEach(BatchView& view, const FileList& files, BatchProgress& progress) {
    HeadTailWriter writer(view.ReadText(BatchText::Text2), view.ReadText(BatchText::Text3));
    progress.file_count = static_cast<std::int64_t>(files.size());
    for (const auto& path : files) {
        progress.current_file = path;
        progress.bytes_done = 0;
        view.ReportProgress(progress);
        auto normal = platform::IsNormalFile(path);
        if (!normal.ok()) {
            return RunFailure{progress.files_done, path, normal.error()};
        }
        if (!normal.value()) {
            continue;  // gone, hidden, system, or no longer a plain file: skipped without a word
        }
        auto status = writer.AddHeadTail(path, [&](std::uint64_t bytes) {
            progress.bytes_done = bytes;
            view.ReportProgress(progress);
        });
        if (!status.ok()) {
            return RunFailure{progress.files_done, path, status.error()};
        }
        ++progress.files_done;
    }
    return std::nullopt;
}

std::optional<RunFailure> RewriteFiles(BatchView& view, const FileList& files, const platform::Path& folder) {
    BatchProgress progress;
    auto failure = RewriteEach(view, files, progress);
    if (progress.files_done > 0) {
        platform::SyncFolder(folder);  // once for the whole run rather than after every rename
    }
    return failure;
}

}  // namespace

void RunBatch(BatchView& view) {
    if (IsBlank(view.ReadText(BatchText::Text1))) {
        view.ShowMessage(std::u16string(messages::kSetPathFirst));
        return;
    }
    const auto checked = platform::PathFromText(TrimSpaces(view.ReadText(BatchText::Text1)));
    if (!checked || !FolderExists(*checked)) {
        view.ShowMessage(std::u16string(messages::kPathMissing));
        return;
    }

    SetLocked(view, true);
    const platform::Path folder =
        platform::PathFromText(TrimSpaces(view.ReadText(BatchText::Text1))).value_or(*checked);
    auto files = CollectTxtFiles(folder);
    if (!files.ok()) {
        view.ShowMessage(FailureMessage(0, folder, files.error()));
    } else if (auto failure = RewriteFiles(view, files.value(), folder)) {
        view.ShowMessage(FailureMessage(failure->files_done, failure->where, failure->error));
    } else if (!files.value().empty()) {
        view.ShowMessage(std::u16string(messages::kTaskDone));
    }
    SetLocked(view, false);
}
