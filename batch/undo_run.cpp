#include "batch/undo_run.h"

#include <algorithm>
#include <optional>
#include <string>

namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 20;

using Report = std::function<void(const BatchProgress&)>;

// What became of one file.
enum class Undone { Restored, LeftAlone };

// Appends `length` bytes of `input` from `offset` on to `output`, copied inside the system where it can.
WriteStatus CopyRange(const platform::InputFile& input, std::uint64_t offset, std::uint64_t length,
                      platform::ReplacementFile& output, std::string& buffer, BatchProgress& progress,
                      const Report& report, std::stop_token stop) {
    bool in_system = true;  // until the system says it cannot copy between these files
    for (std::uint64_t copied = 0; copied < length;) {
        if (stop.stop_requested()) {
            return WriteProblem::Stopped;
        }
        const std::uint64_t wanted = std::min<std::uint64_t>(kChunkSize, length - copied);
        std::uint64_t got = 0;
        if (in_system) {
            const auto result = output.CopyFrom(input, offset + copied, wanted);
            if (!result.ok()) {
                return result.error();
            }
            in_system = result.value().has_value();
            got = result.value().value_or(0);
        } else {
            buffer.resize(static_cast<std::size_t>(wanted));
            const auto read = input.ReadAt(offset + copied, buffer.data(), buffer.size());
            if (!read.ok()) {
                return read.error();
            }
            if (auto written = output.Write(std::string_view(buffer.data(), read.value())); !written.ok()) {
                return written.error();
            }
            got = read.value();
            if (got == 0) {
                return WriteProblem::ChangedMeanwhile;  // the file shrank while it was copied
            }
        }
        copied += got;
        progress.bytes_done = offset + copied;
        report(progress);
    }
    return {};
}

// Gives one file back the bytes it had before the run, if it is still as the run left it. It is looked up at
// its turn as a run looks up its files: what is no longer a normal file is left alone.
WriteResult<Undone> UndoOne(const AddedTexts& added, std::string& buffer, BatchProgress& progress, const Report& report,
                            std::stop_token stop) {
    const auto normal = platform::IsNormalFile(added.path);
    if (!normal.ok()) {
        return normal.error();
    }
    if (!normal.value()) {
        return Undone::LeftAlone;
    }
    std::optional<platform::InputFile> input;
    if (auto opened = platform::InputFile::Open(added.path); opened.ok()) {
        input.emplace(std::move(opened.value()));
    } else {
        return opened.error();
    }
    const std::uint64_t size = input->stamp().size;
    const std::uint64_t body_at = added.head_at + added.head_bytes;
    if (!(input->stamp() == added.stamp) || size < body_at + added.tail_bytes) {
        return Undone::LeftAlone;
    }
    auto output = platform::ReplacementFile::CreateFor(added.path, *input);
    if (!output.ok()) {
        return output.error();
    }
    for (const auto& [offset, length] :
         {std::pair{std::uint64_t{0}, added.head_at}, std::pair{body_at, size - body_at - added.tail_bytes}}) {
        if (auto copied = CopyRange(*input, offset, length, output.value(), buffer, progress, report, stop);
            !copied.ok()) {
            return copied.error();
        }
    }
    input.reset();  // Windows replaces no open file
    const auto replaced = output.value().Replace(added.stamp);
    if (!replaced.ok()) {
        return replaced.error();
    }
    return replaced.value() ? Undone::Restored : Undone::LeftAlone;
}

}  // namespace

RunOutcome UndoAdded(const std::vector<AddedTexts>& added, const Report& report, std::stop_token stop) {
    BatchProgress progress;
    progress.file_count = static_cast<std::int64_t>(added.size());
    for (const auto& file : added) {
        progress.bytes_total += file.stamp.size;
    }
    RunOutcome outcome;
    std::string buffer;
    for (std::size_t index = 0; index < added.size(); ++index) {
        const AddedTexts& file = added[index];
        progress.current_file = file.path;
        progress.current_size = file.stamp.size;
        progress.bytes_done = 0;
        report(progress);
        const auto undone =
            stop.stop_requested() ? WriteProblem::Stopped : UndoOne(file, buffer, progress, report, stop);
        if (!undone.ok()) {
            outcome.added.assign(added.begin() + static_cast<std::ptrdiff_t>(index), added.end());
            outcome.kind = stop.stop_requested() ? OutcomeKind::Stopped : OutcomeKind::Failed;
            outcome.where = file.path;
            outcome.problem = undone.error();
            break;
        }
        ++(undone.value() == Undone::Restored ? progress.files_done : outcome.files_left);
        progress.bytes_before += file.stamp.size;
    }
    outcome.files_done = progress.files_done;
    platform::FreeReplacedFiles();
    if (outcome.files_done > 0) {
        const platform::Path folder = added.front().path.parent_path();  // a run's files share one folder
        const platform::Status synced = platform::SyncFolder(folder);
        if (!synced.ok() && outcome.kind == OutcomeKind::Completed) {
            outcome.kind = OutcomeKind::Unconfirmed;
            outcome.where = folder;
            outcome.problem = synced.error();
        }
    }
    return outcome;
}
