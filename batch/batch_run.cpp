#include "batch/batch_run.h"

#include <algorithm>
#include <array>
#include <exception>

#include "batch/add_head_tail.h"
#include "batch/folder_scan.h"
#include "batch/messages.h"
#include "batch/prepare_pipeline.h"
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

// The box that reports a run whose every file was rewritten, when the folder's new names may not be on disk.
std::u16string UnflushedMessage(std::int64_t files_done, const platform::Path& folder, const platform::Error& error) {
    return std::u16string(messages::kUnflushedBefore) + CountText(files_done) +
           std::u16string(messages::kUnflushedAfter) + u"\r\n" + platform::PathText(folder) + u"\r\n" + error.text;
}

struct RunFailure {
    platform::Path where;
    platform::Error error;
};

// Whether a failure may come from the room that the files prepared ahead take on the disk: then the file is
// tried again alone before the run reports it.
bool MayLackRoomForAhead(const platform::Status& status, const std::optional<PreparePipeline>& ahead) {
    return !status.ok() && ahead && platform::IsOutOfSpace(status.error()) && status.error().kept_copy.empty();
}

// Rewrites a normal file at its turn: puts its prepared copy in place, or rewrites it here, alone, as a run
// without the pipeline would, when nothing was prepared, when its preparation failed, when it changed since
// it was read ahead, or when the disk is full.
platform::Status RewriteAtTurn(PreparePipeline::Turn& turn, std::optional<PreparePipeline>& ahead,
                               HeadTailWriter& writer, const platform::FolderEntry& file, BatchProgress& progress,
                               const std::function<void(const BatchProgress&)>& report) {
    if (turn.prepared) {
        const auto replaced = turn.prepared->output.Replace(turn.prepared->stamp);
        const platform::Status status = replaced.ok() ? platform::Status() : replaced.error();
        if (!replaced.ok() && !MayLackRoomForAhead(status, ahead)) {
            return status;
        }
        if (replaced.ok() && replaced.value()) {
            progress.bytes_done = turn.prepared->stamp.size;
            report(progress);
            return {};
        }
        turn.failed = true;
    }
    if (turn.failed) {
        ahead.reset();  // removes all that was prepared after it; the next file starts a new pipeline
    }
    const auto rewrite = [&] {
        return writer.AddHeadTail(file.path, [&](std::uint64_t bytes) {
            progress.bytes_done = std::max(progress.bytes_done, bytes);  // a second try never shows less
            report(progress);
        });
    };
    auto status = rewrite();
    if (MayLackRoomForAhead(status, ahead)) {
        ahead.reset();
        status = rewrite();
    }
    return status;
}

// Rewrites every collected file that is still a normal file when its turn comes, in list order; stops at the
// first failure or when asked to. Small files come prepared ahead from a PreparePipeline.
std::optional<RunFailure> RewriteEach(const BatchInputs& inputs, const platform::Path& folder, const FileList& files,
                                      BatchProgress& progress, const std::function<void(const BatchProgress&)>& report,
                                      std::stop_token stop) {
    HeadTailWriter writer(inputs.head, inputs.tail, stop);
    progress.file_count = static_cast<std::int64_t>(files.size());
    for (const auto& file : files) {
        progress.bytes_total += file.size;
    }
    std::optional<PreparePipeline> ahead;
    for (std::size_t index = 0; index < files.size(); ++index) {
        const auto& file = files[index];
        if (!ahead) {
            ahead.emplace(inputs.head, inputs.tail, folder, files, index, stop);
        }
        auto turn = ahead->Take(index);
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
            if (stop.stop_requested()) {
                return std::nullopt;
            }
            const auto status = RewriteAtTurn(turn, ahead, writer, file, progress, report);
            if (!status.ok()) {
                // A stop silences the failure it caused, unless new content survives only in a leftover file.
                if (stop.stop_requested() && status.error().kept_copy.empty()) {
                    return std::nullopt;
                }
                return RunFailure{file.path, status.error()};
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

namespace {

// RewriteFolder, telling in `state` how far it got.
std::optional<std::u16string> RewriteFolderFrom(const platform::Path& folder, const BatchInputs& inputs,
                                                const std::function<void(const BatchProgress&)>& progress,
                                                std::stop_token stop, BatchProgress& state) {
    auto files = CollectTxtFiles(folder);
    if (!files.ok()) {
        return FailureMessage(0, folder, files.error());
    }
    const auto failure = RewriteEach(inputs, folder, files.value(), state, progress, stop);
    // Once for the whole run rather than after every rename.
    const platform::Status synced = state.files_done > 0 ? platform::SyncFolder(folder) : platform::Status();
    if (failure) {
        return FailureMessage(state.files_done, failure->where, failure->error);
    }
    if (files.value().empty() || stop.stop_requested()) {
        return std::nullopt;
    }
    if (!synced.ok()) {
        return UnflushedMessage(state.files_done, folder, synced.error());
    }
    return std::u16string(messages::kTaskDone);
}

// Memory or a thread refused on the way (std::bad_alloc, std::system_error) ends the run as a failure of the
// file in hand; what was prepared ahead is removed as the exception leaves the pipeline.
std::optional<std::u16string> RewriteFolderCounting(const BatchInputs& inputs,
                                                    const std::function<void(const BatchProgress&)>& progress,
                                                    std::stop_token stop, BatchProgress& state) {
    const platform::Path folder = platform::PathFromText(TrimSpaces(inputs.folder)).value_or(platform::Path());
    try {
        return RewriteFolderFrom(folder, inputs, progress, std::move(stop), state);
    } catch (const std::exception&) {
        const platform::Path& where = state.current_file.empty() ? folder : state.current_file;
        return FailureMessage(state.files_done, where,
                              platform::Error{0, std::u16string(messages::kOutOfResources), {}});
    }
}

}  // namespace

std::optional<std::u16string> RewriteFolder(const BatchInputs& inputs,
                                            const std::function<void(const BatchProgress&)>& progress,
                                            std::stop_token stop) {
    BatchProgress state;
    return RewriteFolderCounting(inputs, progress, std::move(stop), state);
}

void RunBatch(BatchView& view, std::stop_token stop) {
    const BatchInputs inputs{view.ReadText(BatchText::Text1), view.ReadText(BatchText::Text2),
                             view.ReadText(BatchText::Text3)};
    if (const auto refusal = RefuseStart(inputs.folder)) {
        view.ShowMessage(*refusal);
        return;
    }
    LockControls(view, true);
    BatchProgress state;
    const auto message = RewriteFolderCounting(
        inputs, [&](const BatchProgress& progress) { view.ReportProgress(progress); }, stop, state);
    if (message) {
        view.ShowMessage(*message);
    }
    if (stop.stop_requested()) {
        view.ReportStopped(state.files_done);
    }
    LockControls(view, false);
}
