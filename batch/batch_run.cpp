#include "batch/batch_run.h"

#include <algorithm>
#include <array>
#include <variant>

#include "batch/add_head_tail.h"
#include "batch/file_selection.h"
#include "batch/folder_scan.h"
#include "batch/prepare_pipeline.h"
#include "batch/trim.h"

namespace {

constexpr std::array kLockedControls{BatchControl::Command1, BatchControl::Command2, BatchControl::Text2,
                                     BatchControl::Text3, BatchControl::Command3};

struct RunFailure {
    platform::Path where;
    Problem problem;
};

// Whether a failure may come from the room that the files prepared ahead take on the disk: then the file is
// tried again alone before the run reports it.
bool MayLackRoomForAhead(const WriteStatus& status, const std::optional<PreparePipeline>& ahead) {
    if (status.ok() || !ahead) {
        return false;
    }
    const auto* error = std::get_if<platform::Error>(&status.error());
    return error && platform::IsOutOfSpace(*error) && error->kept_copy.empty();
}

// Rewrites a normal file at its turn: puts its prepared copy in place, or rewrites it here, alone, as a run
// without the pipeline would, when nothing was prepared, when its preparation failed, when it changed since
// it was read ahead, or when the disk is full.
WriteStatus RewriteAtTurn(PreparePipeline::Turn& turn, std::optional<PreparePipeline>& ahead, HeadTailWriter& writer,
                          const platform::Path& file, BatchProgress& progress,
                          const std::function<void(const BatchProgress&)>& report) {
    if (turn.prepared) {
        const auto replaced = turn.prepared->output.Replace(turn.prepared->stamp);
        const WriteStatus status = replaced.ok() ? WriteStatus() : WriteStatus(replaced.error());
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
        return writer.AddHeadTail(file, [&](std::uint64_t bytes) {
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
// first failure or when asked to. Small files come prepared ahead from a PreparePipeline. Marks in
// `replaced_in` each folder where a file was replaced.
std::optional<RunFailure> RewriteEach(const RunInputs& inputs, const FileList& files, BatchProgress& progress,
                                      const std::function<void(const BatchProgress&)>& report, std::stop_token stop,
                                      std::vector<bool>& replaced_in) {
    HeadTailWriter writer(inputs.texts, stop);
    progress.file_count = static_cast<std::int64_t>(files.size());
    for (std::size_t index = 0; index < files.size(); ++index) {
        progress.bytes_total += files.SizeOf(index);
    }
    const auto failure = [&](std::size_t index, Problem problem) {
        return RunFailure{inputs.selection.chosen() ? files.RelativePathOf(index) : files.PathOf(index),
                          std::move(problem)};
    };
    std::optional<PreparePipeline> ahead;
    for (std::size_t index = 0; index < files.size(); ++index) {
        if (!ahead) {
            ahead.emplace(inputs.texts, inputs.folder, files, index, stop);
        }
        auto turn = ahead->Take(index);
        if (stop.stop_requested()) {
            return std::nullopt;
        }
        const platform::Path file = files.PathOf(index);
        progress.current_file = file;
        progress.current_size = files.SizeOf(index);
        progress.bytes_done = 0;
        report(progress);
        auto normal = platform::IsNormalFile(file);
        if (!normal.ok()) {
            return failure(index, normal.error());
        }
        if (normal.value()) {
            if (stop.stop_requested()) {
                return std::nullopt;
            }
            const auto status = RewriteAtTurn(turn, ahead, writer, file, progress, report);
            if (!status.ok()) {
                return stop.stop_requested() ? std::nullopt : std::optional(failure(index, status.error()));
            }
            ++progress.files_done;
            replaced_in[files.FolderOf(index)] = true;
        }  // otherwise gone, hidden, system, or no longer a plain file: skipped without a word
        progress.bytes_before += files.SizeOf(index);
    }
    return std::nullopt;
}

void LockControls(BatchView& view, bool locked) {
    for (const auto control : kLockedControls) {
        view.SetEnabled(control, !locked);
    }
}

// Start's checks of the folder path: the refusal, or the folder to scan.
std::variant<platform::Path, Refusal> CheckFolder(std::u16string_view folder_text) {
    if (IsBlank(folder_text)) {
        return Refusal::NoPath;
    }
    const auto folder = platform::PathFromText(TrimSpaces(folder_text));
    if (!folder || !FolderExists(*folder)) {
        return Refusal::PathMissing;
    }
    return *folder;
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

std::optional<RunInputs> BeginRun(BatchView& view) {
    auto folder = CheckFolder(view.ReadText(BatchText::Text1));
    if (const auto* refusal = std::get_if<Refusal>(&folder)) {
        RunOutcome refused;
        refused.kind = OutcomeKind::Refused;
        refused.refusal = *refusal;
        view.ShowOutcome(refused);
        return std::nullopt;
    }
    RunInputs inputs{std::move(std::get<platform::Path>(folder)),
                     HeadTailTexts(view.ReadText(BatchText::Text2), view.ReadText(BatchText::Text3))};
    LockControls(view, true);
    return inputs;
}

RunOutcome RewriteFolder(const RunInputs& inputs, const std::function<void(const BatchProgress&)>& progress,
                         std::stop_token stop) {
    auto collected = CollectFiles(inputs.folder, inputs.selection);
    if (auto* ended = std::get_if<RunOutcome>(&collected)) {
        return std::move(*ended);
    }
    const FileList& files = std::get<FileList>(collected);
    BatchProgress state;
    std::vector<bool> replaced_in(files.folder_count());
    const auto failure = RewriteEach(inputs, files, state, progress, stop, replaced_in);
    // Once per folder for the whole run rather than after every rename.
    for (std::uint32_t folder = 0; folder < replaced_in.size(); ++folder) {
        if (replaced_in[folder]) {
            platform::SyncFolder(files.FolderPath(folder));
        }
    }
    if (failure) {
        return RunOutcome{.kind = OutcomeKind::Failed,
                          .files_done = state.files_done,
                          .where = failure->where,
                          .problem = failure->problem};
    }
    RunOutcome ended;
    ended.kind = stop.stop_requested() ? OutcomeKind::Stopped
                 : files.empty()       ? OutcomeKind::NothingToDo
                                       : OutcomeKind::Completed;
    ended.files_done = state.files_done;
    return ended;
}

void EndRun(BatchView& view, const RunOutcome& outcome) {
    view.ShowOutcome(outcome);
    LockControls(view, false);
}

void RunBatch(BatchView& view, std::stop_token stop, const FileSelection& selection) {
    if (auto inputs = BeginRun(view)) {
        inputs->selection = selection;
        EndRun(view, RewriteFolder(
                         *inputs, [&](const BatchProgress& progress) { view.ReportProgress(progress); }, stop));
    }
}
