#include "batch/check_files.h"

#include <optional>
#include <string>

#include "batch/folder_scan.h"
#include "batch/head_tail_edit.h"

namespace {

// Whether the file carries both texts, read from its two ends; nothing when it is no normal file (any more).
WriteResult<std::optional<bool>> CarriesBoth(const platform::Path& path, const HeadTailEdit& edit,
                                             std::string& buffer) {
    auto input = platform::OpenNormalFile(path);
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

RunOutcome CheckFiles(const platform::Path& folder, const HeadTailTexts& texts,
                      const std::function<void(const platform::Path&)>& lacking) {
    auto files = CollectTxtFiles(folder, false);  // the sizes come with each file as it is opened
    if (!files.ok()) {
        return RunOutcome{.kind = OutcomeKind::Failed, .where = folder, .problem = files.error()};
    }
    const HeadTailEdit edit(RunMode::Check, texts);
    std::string buffer;
    RunOutcome outcome;
    outcome.kind = files.value().empty() ? OutcomeKind::NothingToDo : OutcomeKind::Completed;
    for (const auto& file : files.value()) {
        auto carries = CarriesBoth(file.path, edit, buffer);
        if (!carries.ok()) {
            outcome.kind = OutcomeKind::Failed;
            outcome.where = file.path;
            outcome.problem = carries.error();
            return outcome;
        }
        if (!carries.value()) {
            ++outcome.files_passed_over;
        } else if (*carries.value()) {
            ++outcome.files_done;
        } else {
            ++outcome.files_left;
            lacking(file.path);
        }
    }
    return outcome;
}
