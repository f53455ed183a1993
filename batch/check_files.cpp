#include "batch/check_files.h"

#include <string>

#include "batch/folder_scan.h"
#include "batch/head_tail_edit.h"

namespace {

// Whether the file carries both texts, read from its two ends.
WriteResult<bool> CarriesBoth(const platform::Path& path, const HeadTailEdit& edit, std::string& buffer) {
    auto input = platform::InputFile::Open(path);
    if (!input.ok()) {
        return input.error();
    }
    auto ends = ReadFileEnds(input.value(), edit.window(), buffer);
    if (!ends.ok()) {
        return ends.error();
    }
    return edit.CarriesBoth(ends.value());
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
        auto normal = platform::IsNormalFile(file.path);
        if (normal.ok() && !normal.value()) {
            ++outcome.files_passed_over;
            continue;
        }
        auto carries = normal.ok() ? CarriesBoth(file.path, edit, buffer) : WriteResult<bool>(normal.error());
        if (!carries.ok()) {
            outcome.kind = OutcomeKind::Failed;
            outcome.where = file.path;
            outcome.problem = carries.error();
            return outcome;
        }
        if (carries.value()) {
            ++outcome.files_done;
        } else {
            ++outcome.files_left;
            lacking(file.path);
        }
    }
    return outcome;
}
