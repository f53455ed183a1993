#include "batch/batch_run.h"

#include <algorithm>
#include <array>
#include <exception>
#include <variant>

#include "batch/add_head_tail.h"
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

// Whether new content survives only in a leftover file, which the user must be told of in any case.
bool KeptCopy(const Problem& problem) {
    const auto* error = std::get_if<platform::Error>(&problem);
    return error && !error->kept_copy.empty();
}

// Rewrites a normal file at its turn: puts its prepared copy in place, or rewrites it here, alone, as a run
// without the pipeline would, when nothing was prepared, when its preparation failed, when it changed since
// it was read ahead, or when the disk is full.
WriteStatus RewriteAtTurn(PreparePipeline::Turn& turn, std::optional<PreparePipeline>& ahead, HeadTailWriter& writer,
                          const platform::FolderEntry& file, BatchProgress& progress,
                          const std::function<void(const BatchProgress&)>& report) {
    if (turn.prepared) {
        const auto replaced = turn.prepared->output.Replace(turn.prepared->stamp);
        const WriteStatus status = replaced.ok() ? WriteStatus() : WriteStatus(replaced.error());
        if (!replaced.ok() && !MayLackRoomForAhead(status, ahead)) {
            return status;
        }
        if (replaced.ok() && replaced.value()) {
            writer.NoteReplaced(*turn.prepared);
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
std::optional<RunFailure> RewriteEach(const RunInputs& inputs, const FileList& files, BatchProgress& progress,
                                      const std::function<void(const BatchProgress&)>& report, std::stop_token stop,
                                      std::vector<AddedTexts>& added) {
    HeadTailWriter writer(inputs.texts, stop);
    if (inputs.note_added) {
        writer.NoteAddedIn(&added);
    }
    progress.file_count = static_cast<std::int64_t>(files.size());
    for (const auto& file : files) {
        progress.bytes_total += file.size;
    }
    std::optional<PreparePipeline> ahead;
    for (std::size_t index = 0; index < files.size(); ++index) {
        const auto& file = files[index];
        if (!ahead) {
            ahead.emplace(inputs.texts, inputs.folder, files, index, stop);
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
            return RunFailure{file.path, Problem(normal.error())};
        }
        if (normal.value()) {
            if (stop.stop_requested()) {
                return std::nullopt;
            }
            const auto status = RewriteAtTurn(turn, ahead, writer, file, progress, report);
            if (!status.ok()) {
                // A stop silences the failure it caused, unless new content survives only in a leftover file.
                if (stop.stop_requested() && !KeptCopy(status.error())) {
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

// RewriteFolder, telling in `state` how far it got.
RunOutcome RewriteCollected(const RunInputs& inputs, const std::function<void(const BatchProgress&)>& progress,
                            std::stop_token stop, BatchProgress& state) {
    auto files = CollectTxtFiles(inputs.folder);
    if (!files.ok()) {
        return FailedRun(0, inputs.folder, files.error());
    }
    std::vector<AddedTexts> added;
    const auto failure = RewriteEach(inputs, files.value(), state, progress, stop, added);
    // Once for the whole run rather than after every rename.
    const platform::Status synced = state.files_done > 0 ? platform::SyncFolder(inputs.folder) : platform::Status();
    if (failure) {
        RunOutcome failed = FailedRun(state.files_done, failure->where, failure->problem);
        failed.added = std::move(added);
        return failed;
    }
    RunOutcome ended;
    ended.files_done = state.files_done;
    ended.added = std::move(added);
    if (stop.stop_requested()) {
        ended.kind = OutcomeKind::Stopped;
    } else if (files.value().empty()) {
        ended.kind = OutcomeKind::NothingToDo;
    } else if (!synced.ok()) {
        ended.kind = OutcomeKind::Unconfirmed;
        ended.where = inputs.folder;
        ended.problem = synced.error();
    }
    return ended;
}

}  // namespace

void LockControls(BatchView& view, bool locked) {
    for (const auto control : kLockedControls) {
        view.SetEnabled(control, !locked);
    }
}

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
                     HeadTailTexts(view.ReadText(BatchText::Text2), view.ReadText(BatchText::Text3)), false};
    LockControls(view, true);
    return inputs;
}

RunOutcome RewriteFolder(const RunInputs& inputs, const std::function<void(const BatchProgress&)>& progress,
                         std::stop_token stop) {
    BatchProgress state;
    try {
        return RewriteCollected(inputs, progress, std::move(stop), state);
    } catch (const std::exception&) {
        // Memory or a thread refused on the way (std::bad_alloc, std::system_error): what was prepared ahead
        // went as the exception left the pipeline.
        return FailedRun(state.files_done, state.current_file.empty() ? inputs.folder : state.current_file,
                         WriteProblem::OutOfResources);
    }
}

void EndRun(BatchView& view, const RunOutcome& outcome) {
    view.ShowOutcome(outcome);
    LockControls(view, false);
}

void RunBatch(BatchView& view, std::stop_token stop) {
    if (const auto inputs = BeginRun(view)) {
        EndRun(view, RewriteFolder(
                         *inputs, [&](const BatchProgress& progress) { view.ReportProgress(progress); }, stop));
    }
}
