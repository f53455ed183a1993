#include "batch/batch_run.h"

#include <algorithm>
#include <array>
#include <exception>
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

// Whether a failure may come from the room that the files prepared ahead take on the disk, or the files
// replaced so far that are still being freed (waited for here): then the file is tried again alone before the
// run reports it.
bool CanTryAgainForRoom(const WriteStatus& status, const std::optional<PreparePipeline>& ahead) {
    if (status.ok()) {
        return false;
    }
    const auto* error = std::get_if<platform::Error>(&status.error());
    if (!error || !platform::IsOutOfSpace(*error) || !error->kept_copy.empty()) {
        return false;
    }
    const bool freed = platform::FreeReplacedFiles();
    return ahead || freed;
}

// Whether new content survives only in a leftover file, which the user must be told of in any case.
bool KeptCopy(const Problem& problem) {
    const auto* error = std::get_if<platform::Error>(&problem);
    return error && !error->kept_copy.empty();
}

// Whether a file found ahead to need no change is still the very file that was read then.
bool StillAsRead(const platform::Path& path, const platform::FileStamp& stamp) {
    const auto now = platform::StampOf(path);
    return now.ok() && now.value() == stamp;
}

// Rewrites a normal file at its turn: puts its prepared copy in place, or rewrites it here, alone, as a run
// without the pipeline would, when nothing was prepared, when its preparation failed, when it changed since
// it was read ahead, or when the disk is full. A file found ahead to need no change is left as it is.
WriteResult<FileFate> RewriteAtTurn(PreparePipeline::Turn& turn, std::optional<PreparePipeline>& ahead,
                                    HeadTailWriter& writer, FileOpener& files, std::size_t index,
                                    const platform::Path& file, BatchProgress& progress,
                                    const std::function<void(const BatchProgress&)>& report) {
    if (turn.prepared && !turn.prepared->output) {
        if (StillAsRead(file, turn.prepared->stamp)) {
            return FileFate::LeftAsItWas;
        }
        turn.prepared.reset();  // it changed since: its turn reads it again
    }
    if (turn.prepared) {
        const auto replaced = turn.prepared->output->Replace(turn.prepared->stamp);
        const WriteStatus status = replaced.ok() ? WriteStatus() : WriteStatus(replaced.error());
        if (!replaced.ok() && !CanTryAgainForRoom(status, ahead)) {
            return status.error();
        }
        if (replaced.ok() && replaced.value()) {
            writer.NoteReplaced(*turn.prepared);
            progress.bytes_done = turn.prepared->stamp.size;
            report(progress);
            return FileFate::Rewritten;
        }
        turn.failed = true;
    }
    if (turn.failed) {
        ahead.reset();  // removes all that was prepared after it; the next file starts a new pipeline
    }
    const auto rewrite = [&]() -> WriteResult<FileFate> {
        auto input = files.OpenNormalFile(index);
        if (!input.ok()) {
            return input.error();
        }
        if (!input.value()) {
            return FileFate::PassedOver;
        }
        return writer.AddHeadTail(file, std::move(*input.value()), [&](std::uint64_t bytes) {
            progress.bytes_done = std::max(progress.bytes_done, bytes);  // a second try never shows less
            report(progress);
        });
    };
    auto rewritten = rewrite();
    if (!rewritten.ok() && CanTryAgainForRoom(rewritten.error(), ahead)) {
        ahead.reset();
        rewritten = rewrite();
    }
    return rewritten;
}

// Rewrites every collected file that is still a normal file when its turn comes, in list order; stops at the
// first failure or when asked to. Small files come prepared ahead from a PreparePipeline. Marks in
// `replaced_in` each folder where a file was replaced.
std::optional<RunFailure> RewriteEach(const RunInputs& inputs, const HeadTailEdit& edit, const FileList& files,
                                      BatchProgress& progress, RunOutcome& counts,
                                      const std::function<void(const BatchProgress&)>& report, std::stop_token stop,
                                      std::vector<bool>& replaced_in) {
    HeadTailWriter writer(edit, stop);
    if (inputs.note_added) {
        writer.NoteAddedIn(&counts.added);
    }
    progress.file_count = static_cast<std::int64_t>(files.size());
    for (std::size_t index = 0; index < files.size(); ++index) {
        progress.bytes_total += files.SizeOf(index);
    }
    const auto failure = [&](std::size_t index, Problem problem) {
        return RunFailure{inputs.selection.chosen() ? files.RelativePathOf(index) : files.PathOf(index),
                          std::move(problem)};
    };
    FileOpener opener(files);
    std::optional<PreparePipeline> ahead;
    // Where the edit depends on what files carry, files are looked at in hand until one needs rewriting: a
    // folder that needs nothing costs no more than a check of it, without handing files between threads.
    bool in_hand = edit.reads_ends();
    for (std::size_t index = 0; index < files.size(); ++index) {
        if (!ahead && !in_hand) {
            ahead.emplace(edit, inputs.folder, files, index, stop);
        }
        auto turn = ahead ? ahead->Take(index) : PreparePipeline::Turn{};
        if (stop.stop_requested()) {
            return std::nullopt;
        }
        progress.current_file = files.PathOf(index);
        const platform::Path& file = progress.current_file;
        progress.current_size = files.SizeOf(index);
        progress.bytes_done = 0;
        report(progress);
        // A file that went ahead is looked at again at its turn; one rewritten here only as it is opened.
        bool passed_over = false;
        if (turn.prepared || turn.failed) {
            auto normal = platform::IsNormalFile(file);
            if (!normal.ok()) {
                return failure(index, normal.error());
            }
            passed_over = !normal.value();
        }
        if (stop.stop_requested()) {
            return std::nullopt;
        }
        const auto fate = passed_over ? WriteResult<FileFate>(FileFate::PassedOver)
                                      : RewriteAtTurn(turn, ahead, writer, opener, index, file, progress, report);
        if (!fate.ok()) {
            // A stop silences the failure it caused, unless new content survives only in a leftover file.
            if (stop.stop_requested() && !KeptCopy(fate.error())) {
                return std::nullopt;
            }
            return failure(index, fate.error());
        }
        if (fate.value() == FileFate::Rewritten) {
            ++progress.files_done;
            replaced_in[files.FolderOf(index)] = true;
            in_hand = false;
        } else if (fate.value() == FileFate::LeftAsItWas) {
            ++counts.files_left;
        } else {
            ++counts.files_passed_over;  // gone, hidden, system, or no longer a plain file: without a word
        }
        progress.bytes_before += files.SizeOf(index);
    }
    return std::nullopt;
}

// Makes durable the replacements in each folder marked in `replaced_in`, once per folder for the whole run
// rather than after every rename: the first folder that fails and why, or nothing.
std::optional<std::pair<platform::Path, platform::Error>> SyncFolders(const FileList& files,
                                                                      const std::vector<bool>& replaced_in) {
    std::optional<std::pair<platform::Path, platform::Error>> first_failure;
    for (std::uint32_t folder = 0; folder < replaced_in.size(); ++folder) {
        if (!replaced_in[folder]) {
            continue;
        }
        const platform::Path path = files.FolderPath(folder);
        if (const auto synced = platform::SyncFolder(path); !synced.ok() && !first_failure) {
            first_failure.emplace(path, synced.error());
        }
    }
    return first_failure;
}

// RewriteFolder, telling in `state` how far it got.
RunOutcome RewriteCollected(const RunInputs& inputs, const std::function<void(const BatchProgress&)>& progress,
                            std::stop_token stop, BatchProgress& state) {
    // Where most files may need no change, their sizes are not worth a lookup each: a file prepared ahead
    // learns its own size when it is opened.
    const HeadTailEdit edit(inputs.mode, inputs.texts, inputs.old_texts);
    auto collected = CollectFiles(inputs.folder, inputs.selection,
                                  edit.reads_ends() ? platform::ListedSizes::NotWanted : platform::ListedSizes::Wanted);
    if (auto* refused = std::get_if<RunOutcome>(&collected)) {
        return std::move(*refused);
    }
    const FileList& files = std::get<FileList>(collected);
    RunOutcome ended;
    std::vector<bool> replaced_in(files.folder_count());
    const auto failure = RewriteEach(inputs, edit, files, state, ended, progress, stop, replaced_in);
    platform::FreeReplacedFiles();  // a run ends with the room its files took before given back
    const auto unsynced = SyncFolders(files, replaced_in);
    ended.files_done = state.files_done;
    if (failure) {
        ended.kind = OutcomeKind::Failed;
        ended.where = failure->where;
        ended.problem = failure->problem;
    } else if (stop.stop_requested()) {
        ended.kind = OutcomeKind::Stopped;
    } else if (files.empty()) {
        ended.kind = OutcomeKind::NothingToDo;
    } else if (unsynced) {
        ended.kind = OutcomeKind::Unconfirmed;
        ended.where = unsynced->first;
        ended.problem = unsynced->second;
    }
    return ended;
}

}  // namespace

void LockControls(BatchView& view, bool locked) {
    for (const auto control : kLockedControls) {
        view.SetEnabled(control, !locked);
    }
}

std::variant<platform::Path, Refusal> FolderToRun(std::u16string_view folder_text) {
    if (IsBlank(folder_text)) {
        return Refusal::NoPath;
    }
    const auto folder = platform::PathFromText(TrimSpaces(folder_text));
    if (!folder || !FolderExists(*folder)) {
        return Refusal::PathMissing;
    }
    return *folder;
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
    auto folder = FolderToRun(view.ReadText(BatchText::Text1));
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

void RunBatch(BatchView& view, std::stop_token stop, const FileSelection& selection) {
    if (auto inputs = BeginRun(view)) {
        inputs->selection = selection;
        EndRun(view, RewriteFolder(
                         *inputs, [&](const BatchProgress& progress) { view.ReportProgress(progress); }, stop));
    }
}
