#pragma once

#include <optional>
#include <variant>
#include <vector>

#include "batch/file_list.h"
#include "batch/glob.h"
#include "batch/run_outcome.h"
#include "platform/file_system.h"

// Which files a run takes. The default is the window's rule: every file directly in the folder whose name
// ends exactly in ".txt", in the order the folder lists them.
struct FileSelection {
    bool recursive = false;     // subfolders too, depth-first, a folder's own files before its subfolders
    std::vector<Glob> include;  // given any, they replace the ".txt" rule
    std::vector<Glob> exclude;  // win over everything; a folder they match is not entered
    // Files named one by one, relative to the folder or full, taken in this order instead of a listing.
    std::optional<std::vector<platform::Path>> listed;

    // Whether anything but the default was asked for: reports then name files relative to the folder.
    bool chosen() const { return recursive || !include.empty() || !exclude.empty() || listed.has_value(); }
};

// The files of `folder` that `selection` takes, all of them found before the run writes anything; or the
// outcome that ends the run at once: a folder that cannot be listed, or listed files that cannot be used.
// Without `sizes`, files found by listing may be listed with size 0.
std::variant<FileList, RunOutcome> CollectFiles(const platform::Path& folder, const FileSelection& selection,
                                                platform::ListedSizes sizes = platform::ListedSizes::Wanted);
