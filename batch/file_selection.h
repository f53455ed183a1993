#pragma once

#include <optional>
#include <variant>
#include <vector>

#include "batch/file_list.h"
#include "batch/glob.h"
#include "batch/run_outcome.h"
#include "platform/file_system.h"

// Files named one by one, relative to the run's folder or full, in the order given, held end to end in one
// buffer: a list of a million names costs little more than its text.
class NamedFiles {
  public:
    NamedFiles() = default;
    template <typename Names>
    explicit NamedFiles(const Names& names) {
        for (const auto& name : names) {
            Add(platform::Path(name));
        }
    }

    void Add(const platform::Path& name);
    std::size_t size() const { return ends_.size(); }
    platform::Path operator[](std::size_t index) const;

  private:
    platform::Path::string_type text_;
    std::vector<std::size_t> ends_;
};

// Which files a run takes. The default is the window's rule: every file directly in the folder whose name
// ends exactly in ".txt", in the order the folder lists them.
struct FileSelection {
    bool recursive = false;            // subfolders too, depth-first, a folder's own files before its subfolders
    std::vector<Glob> include;         // given any, they replace the ".txt" rule
    std::vector<Glob> exclude;         // win over everything; a folder they match is not entered
    std::optional<NamedFiles> listed;  // taken in this order instead of a listing

    // Whether anything but the default was asked for: reports then name files relative to the folder.
    bool chosen() const { return recursive || !include.empty() || !exclude.empty() || listed.has_value(); }
};

// The files of `folder` that `selection` takes, all of them found before the run writes anything; or the
// outcome that ends the run at once: a folder that cannot be listed, or listed files that cannot be used.
// Without `sizes`, files found by listing may be listed with size 0.
std::variant<FileList, RunOutcome> CollectFiles(const platform::Path& folder, const FileSelection& selection,
                                                platform::ListedSizes sizes = platform::ListedSizes::Wanted);
