#include "batch/check_files.h"

#include <optional>
#include <string>

#include "batch/head_tail_edit.h"

namespace {

// Whether the file carries both texts, read from its two ends; nothing when it is no normal file (any more).
WriteResult<std::optional<bool>> CarriesBoth(FileOpener& files, std::size_t index, const HeadTailEdit& edit,
                                             std::string& buffer) {
    auto input = files.OpenNormalFile(index);
    if (!input.ok()) {
        return input.error();
    }
    if (!input.value()) {
        return std::optional<bool>();
    }
    auto ends = ReadFileEnds(*input.value(), edit.window(), buffer);
    if (!ends.ok()) {
        return ends.error();
    }
    return std::optional<bool>(edit.CarriesBoth(ends.value()));
}

}  // namespace

RunOutcome CheckFiles(const platform::Path& folder, const FileSelection& selection, const HeadTailTexts& texts,
                      const std::function<void(const platform::Path&)>& lacking) {
    auto collected = CollectFiles(folder, selection, platform::ListedSizes::NotWanted);
    if (auto* refused = std::get_if<RunOutcome>(&collected)) {
        return std::move(*refused);
    }
    const FileList& files = std::get<FileList>(collected);
    const HeadTailEdit edit(RunMode::Check, texts);
    std::string buffer;
    RunOutcome outcome;
    outcome.kind = files.empty() ? OutcomeKind::NothingToDo : OutcomeKind::Completed;
    FileOpener listed(files);
    for (std::size_t index = 0; index < files.size(); ++index) {
        const auto shown = [&] { return selection.chosen() ? files.RelativePathOf(index) : files.PathOf(index); };
        auto carries = CarriesBoth(listed, index, edit, buffer);
        if (!carries.ok()) {
            outcome.kind = OutcomeKind::Failed;
            outcome.where = shown();
            outcome.problem = carries.error();
            return outcome;
        }
        if (!carries.value()) {
            ++outcome.files_passed_over;
        } else if (*carries.value()) {
            ++outcome.files_done;
        } else {
            ++outcome.files_left;
            lacking(shown());
        }
    }
    return outcome;
}
