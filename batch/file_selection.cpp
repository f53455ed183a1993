#include "batch/file_selection.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <utility>

namespace {

using Name = FileList::Name;

bool EndsWith(Name name, std::string_view suffix) {
    return name.size() >= suffix.size() &&
           std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char expected, auto actual) { return static_cast<decltype(actual)>(expected) == actual; });
}

bool StartsWith(Name name, std::string_view prefix) {
    return name.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), name.begin(),
                      [](char expected, auto actual) { return static_cast<decltype(actual)>(expected) == actual; });
}

// The temporary files of a run in progress, this one's or another's: never a file to rewrite.
bool IsOurTemporary(Name name) {
    return StartsWith(name, "~varnotta-") && EndsWith(name, ".tmp");
}

bool AnyMatches(const std::vector<Glob>& globs, std::u16string_view path) {
    return std::any_of(globs.begin(), globs.end(), [&](const Glob& glob) { return glob.Matches(path); });
}

platform::Path Within(const platform::Path& folder, Name name) {
    return folder.empty() ? platform::Path(name) : folder / platform::Path(name);
}

// Which files and folders the selection's rules admit, by their paths relative to the run's folder.
class Admission {
  public:
    explicit Admission(const FileSelection& selection) : selection_(selection) {}

    bool AdmitsFile(const platform::Path& folder, Name name) const {
        if (IsOurTemporary(name)) {
            return false;
        }
        if (selection_.include.empty() && selection_.exclude.empty()) {
            return EndsWith(name, ".txt");  // the window's rule, with no path to put together
        }
        const std::u16string path = platform::PathText(Within(folder, name));
        const bool included =
            selection_.include.empty() ? EndsWith(name, ".txt") : AnyMatches(selection_.include, path);
        return included && !AnyMatches(selection_.exclude, path);
    }

    bool EntersFolder(const platform::Path& folder) const {
        return !AnyMatches(selection_.exclude, platform::PathText(folder));
    }

  private:
    const FileSelection& selection_;
};

RunOutcome FailedAt(platform::Path where, platform::Error error) {
    return RunOutcome{.kind = OutcomeKind::Failed, .where = std::move(where), .problem = std::move(error)};
}

// Lists the folder and, when asked, every subfolder that may be entered, depth-first: a folder's own files
// in listing order, then each subfolder in listing order, finished before the next.
std::variant<FileList, RunOutcome> Walk(const platform::Path& folder, const FileSelection& selection,
                                        platform::ListedSizes sizes) {
    const Admission admission(selection);
    FileList files(folder);
    std::vector<platform::Path> pending{platform::Path()};  // relative paths, the next one last
    std::vector<platform::Path> subfolders;
    while (!pending.empty()) {
        const platform::Path relative = std::move(pending.back());
        pending.pop_back();
        const std::uint32_t number = files.AddFolder(relative);
        subfolders.clear();
        const auto listed = platform::ListFolder(
            files.FolderPath(number),
            [&](const platform::ListedEntry& entry) {
                if (!entry.folder) {
                    if (admission.AdmitsFile(relative, entry.name)) {
                        files.Add(number, entry.name, entry.size);
                    }
                } else if (selection.recursive && !entry.link && !entry.hidden && !entry.other_file_system) {
                    platform::Path subfolder = Within(relative, entry.name);
                    if (admission.EntersFolder(subfolder)) {
                        subfolders.push_back(std::move(subfolder));
                    }
                }
            },
            sizes);
        if (!listed.ok()) {
            return FailedAt(relative.empty() ? folder : relative, listed.error());
        }
        pending.insert(pending.end(), std::make_move_iterator(subfolders.rbegin()),
                       std::make_move_iterator(subfolders.rend()));
    }
    return files;
}

// The folder of a named file relative to the run's folder, both with every link followed (so with no "." or
// ".." in them); nothing when the file lies outside it. Compared as text: the standard library reads no
// relation into paths with the \\?\ prefix that Windows resolves paths to.
std::optional<platform::Path> FolderWithin(const platform::Path& resolved_top, const platform::Path& resolved_folder) {
    const auto is_separator = [](platform::Path::value_type c) {
        return c == '/' || c == platform::Path::preferred_separator;
    };
    const auto& top = resolved_top.native();
    const auto& folder = resolved_folder.native();
    if (folder == top) {
        return platform::Path();
    }
    if (top.empty() || !folder.starts_with(top)) {
        return std::nullopt;
    }
    if (is_separator(top.back())) {
        return platform::Path(folder.substr(top.size()));  // a drive's or the system's root
    }
    return is_separator(folder[top.size()]) ? std::optional(platform::Path(folder.substr(top.size() + 1)))
                                            : std::nullopt;
}

// A named file that may be rewritten: which file it is, and its folder relative to the run's folder.
struct Found {
    platform::EntryFacts facts;
    platform::Path folder;
};

// Resolves the folders of named files, the last one kept: a list mostly names a folder's files together.
class FolderResolver {
  public:
    const platform::Result<platform::Path>& Resolve(platform::Path folder) {
        if (!last_ || last_->first != folder) {
            auto resolved = platform::ResolvedPath(folder);
            last_.emplace(std::move(folder), std::move(resolved));
        }
        return last_->second;
    }

  private:
    std::optional<std::pair<platform::Path, platform::Result<platform::Path>>> last_;
};

// Looks up the file `name` leads to, at `path`: a plain file inside the folder, or why it refuses the run.
std::variant<Found, RefusedFile> LookUpNamed(const platform::Path& resolved_top, FolderResolver& folders,
                                             const platform::Path& name, const platform::Path& path) {
    const auto facts = platform::LookUpEntry(path);
    if (!facts.ok()) {
        return RefusedFile{name, RefusedFile::Flaw::LookUpFailed, facts.error().text};
    }
    if (facts.value().kind == platform::EntryFacts::Kind::Missing) {
        return RefusedFile{name, RefusedFile::Flaw::Missing, {}};
    }
    const auto& resolved = folders.Resolve(path.parent_path());
    if (!resolved.ok()) {
        return RefusedFile{name, RefusedFile::Flaw::LookUpFailed, resolved.error().text};
    }
    auto within = FolderWithin(resolved_top, resolved.value());
    if (!within) {
        return RefusedFile{name, RefusedFile::Flaw::OutsideFolder, {}};
    }
    if (facts.value().kind != platform::EntryFacts::Kind::PlainFile) {
        return RefusedFile{name, RefusedFile::Flaw::NotPlainFile, {}};
    }
    return Found{facts.value(), std::move(*within)};
}

// Which file an entry names, by identity.
using FileId = std::pair<std::uint64_t, std::uint64_t>;

// Whether each entry names a file that an earlier entry already names.
std::vector<bool> Repeats(const std::vector<FileId>& ids) {
    std::vector<std::uint32_t> order(ids.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return ids[a] < ids[b]; });
    std::vector<bool> repeats(ids.size());
    for (std::size_t i = 1; i < order.size(); ++i) {
        repeats[order[i]] = ids[order[i]] == ids[order[i - 1]];
    }
    return repeats;
}

// `files` less the entries marked in `dropped`, their folders numbered anew.
FileList Without(const FileList& files, const platform::Path& folder, const std::vector<bool>& dropped) {
    FileList kept(folder);
    std::vector<std::optional<std::uint32_t>> numbers(files.folder_count());
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (dropped[i]) {
            continue;
        }
        auto& number = numbers[files.FolderOf(i)];
        if (!number) {
            number = kept.AddFolder(files.RelativeFolderPath(files.FolderOf(i)));
        }
        kept.Add(*number, files.NameOf(i), files.SizeOf(i));
    }
    if (!files.on_one_file_system()) {
        kept.MarkOtherFileSystem();
    }
    return kept;
}

// The files named one by one, each looked up before anything is written; the same file named twice is taken
// once, where it is first named.
std::variant<FileList, RunOutcome> TakeListed(const platform::Path& folder, const FileSelection& selection) {
    const auto top = platform::ResolvedPath(folder);
    const auto top_facts = top.ok() ? platform::LookUpEntry(folder) : top.error();
    if (!top_facts.ok()) {
        return FailedAt(folder, top_facts.error());
    }
    const Admission admission(selection);
    FileList files(folder);
    std::vector<FileId> ids;
    ids.reserve(selection.listed->size());
    std::map<platform::Path, std::uint32_t> folder_numbers;
    std::vector<RefusedFile> refused;
    FolderResolver folders;
    for (std::size_t i = 0; i < selection.listed->size(); ++i) {
        const platform::Path name = (*selection.listed)[i];
        const platform::Path path = name.has_root_path() ? name : Joined(folder, name);
        auto looked_up = LookUpNamed(top.value(), folders, name, path);
        if (auto* refusal = std::get_if<RefusedFile>(&looked_up)) {
            refused.push_back(std::move(*refusal));
            continue;
        }
        const auto& [facts, within] = std::get<Found>(looked_up);
        const platform::Path file_name = path.filename();
        if (!admission.AdmitsFile(within, file_name.native())) {
            continue;
        }
        const auto [place, added] = folder_numbers.try_emplace(within, 0);
        if (added) {
            place->second = files.AddFolder(within);
        }
        files.Add(place->second, file_name.native(), facts.size);
        ids.emplace_back(facts.volume, facts.index);
        if (facts.volume != top_facts.value().volume) {
            files.MarkOtherFileSystem();  // a file system mounted inside the folder
        }
    }
    if (!refused.empty()) {
        RunOutcome refusal;
        refusal.kind = OutcomeKind::ListRefused;
        refusal.refused = std::move(refused);
        return refusal;
    }
    const std::vector<bool> repeats = Repeats(ids);
    if (std::find(repeats.begin(), repeats.end(), true) != repeats.end()) {
        return Without(files, folder, repeats);
    }
    return files;
}

}  // namespace

void NamedFiles::Add(const platform::Path& name) {
    text_ += name.native();
    ends_.push_back(text_.size());
}

platform::Path NamedFiles::operator[](std::size_t index) const {
    const std::size_t start = index == 0 ? 0 : ends_[index - 1];
    return text_.substr(start, ends_[index] - start);
}

std::variant<FileList, RunOutcome> CollectFiles(const platform::Path& folder, const FileSelection& selection,
                                                platform::ListedSizes sizes) {
    return selection.listed ? TakeListed(folder, selection) : Walk(folder, selection, sizes);
}
