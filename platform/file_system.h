#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/result.h"

namespace platform {

using Path = std::filesystem::path;

// Attribute masks of the directory-entry lookup, as the classic Dir function takes them.
inline constexpr unsigned kNormalEntries = 0;      // files that are neither hidden, system nor directories
inline constexpr unsigned kDirectoryEntries = 16;  // directories as well

// The name of the first entry that matches `pattern` under `mask`, or an empty path when none does.
// `*` and `?` in the last component act as wildcards; a pattern ending in a separator stands for the
// folder's contents. Read-only files match; hidden and system entries never do. Only "no such entry" counts
// as no match: every other failure of the lookup is reported.
Result<Path> FindFirstEntry(const Path& pattern, unsigned mask);

// The lookup of one collected file at its turn, of exactly that name (never as a pattern): whether it is
// there as a normal file, that is, neither hidden, system, a folder nor a link. Read-only files are normal
// files. Only "no such entry" answers false without being a failure.
Result<bool> IsNormalFile(const Path& path);

// An entry as a folder listing shows it; the name is valid only during the call it is handed to.
struct ListedEntry {
    std::basic_string_view<Path::value_type> name;
    std::uint64_t size = 0;          // of a plain file, where sizes are wanted
    bool folder = false;             // a folder, or a link that is one (a junction)
    bool link = false;               // a symbolic link, a junction or a mount point
    bool hidden = false;             // hidden or system; where there are no such attributes, a name starting with "."
    bool other_file_system = false;  // a folder on another file system than the one listed (a mount point)
};

// Whether a listing tells each plain file's size. Where the system's listing does not carry sizes (Linux),
// each one costs a lookup of its own.
enum class ListedSizes { Wanted, NotWanted };

// Calls `each` with every entry of `folder` but "." and "..", hidden and system ones included, in the order
// the system lists them. An entry that vanishes while it is listed is still handed over, as a file. Fails
// when `folder` is not a folder that can be listed.
Status ListFolder(const Path& folder, const std::function<void(const ListedEntry&)>& each,
                  ListedSizes sizes = ListedSizes::Wanted);

// What a path names, the entry itself (a link is not followed): nothing, a plain file, or something else.
struct EntryFacts {
    enum class Kind { Missing, PlainFile, Other };
    Kind kind = Kind::Missing;
    std::uint64_t volume = 0;  // with `index`, which file it is
    std::uint64_t index = 0;
    std::uint64_t size = 0;
};
Result<EntryFacts> LookUpEntry(const Path& path);

// The full path of what `path` leads to, every link on the way followed, in one form for every way of naming
// the same folder.
Result<Path> ResolvedPath(const Path& path);

// How the system compares names: without regard to case (Windows) or exactly; and whether "\" separates
// the parts of a path, as "/" does everywhere.
bool NamesIgnoreCase();
bool BackslashSeparates();
// `text` in the one case the system's comparison of names without regard to case reduces it to.
std::u16string FoldCase(std::u16string_view text);

// Which file a path leads to and which version of it: equal stamps mean the same file, unchanged.
struct FileStamp {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    std::uint64_t size = 0;
    std::uint64_t links = 0;  // names the file has (hard links)
    std::int64_t modified = 0;
    // Moves on with every change, also when a program sets the modification time back afterwards.
    std::int64_t changed = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the entry at `path` itself (a link is not followed).
Result<FileStamp> StampOf(const Path& path);

// A plain file opened for reading, shared with other readers and writers.
class InputFile {
  public:
    // Fails for anything that is not a plain file (a link is not followed).
    static Result<InputFile> Open(const Path& path);

    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    ~InputFile();

    // The file as it was when it was opened.
    const FileStamp& stamp() const { return stamp_; }

    // Reads up to `size` bytes at `offset`; 0 means the end of the file.
    Result<std::size_t> ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const;

  private:
    friend class ReplacementFile;
    friend class OpenedFolder;
    InputFile(std::intptr_t handle, const FileStamp& stamp) : handle_(handle), stamp_(stamp) {}

    std::intptr_t handle_;
    FileStamp stamp_;
};

// The file at `path` opened for reading when it is a normal file as IsNormalFile says; nothing when it is not
// one, or no longer there. Where the system allows, the open itself tells, which saves the lookup for callers
// that read every file they look up.
Result<std::optional<InputFile>> OpenNormalFile(const Path& path);

// A folder held open, in which files are then opened by name alone: where the system allows (Linux), it does
// not walk the folder's path again for each of them.
class OpenedFolder {
  public:
    static Result<OpenedFolder> Open(const Path& folder);
    OpenedFolder(OpenedFolder&& other) noexcept;
    OpenedFolder& operator=(OpenedFolder&& other) noexcept;
    ~OpenedFolder();

    // The file `name` in the folder, as OpenNormalFile opens it.
    Result<std::optional<InputFile>> OpenNormalFile(std::basic_string_view<Path::value_type> name) const;

  private:
    OpenedFolder(std::intptr_t handle, Path path) : handle_(handle), path_(std::move(path)) {}

    std::intptr_t handle_;
    Path path_;  // ending in a separator
};

// New content for `target`, written to a temporary file beside it and put in its place in one step.
// The temporary's name never ends in ".txt". Unless Replace succeeds, the temporary file is removed and
// the target is left as it was.
class ReplacementFile {
  public:
    // For the file `original`, opened from `target`, whose attributes (or mode and owner) the replacement
    // takes. Fails at once, before anything is written, when the original is read-only. A `nameless`
    // temporary file gets its name only in Replace, just before it takes the target's place, where the system
    // can (Linux: O_TMPFILE): until then nothing of it shows in the folder, nor stays there if the program
    // fails or is killed. temporary_path() is empty until then.
    static Result<ReplacementFile> CreateFor(const Path& target, const InputFile& original, bool nameless = false);

    ReplacementFile(ReplacementFile&& other) noexcept;
    ReplacementFile& operator=(ReplacementFile&& other) = delete;
    ~ReplacementFile();

    Status Write(std::string_view bytes);
    // Appends up to `length` bytes of `source` from `offset` on, copied inside the system (no trip through
    // the program's memory) and returns how many it copied: fewer where the source ends sooner. Nothing
    // when the system offers no such copy here; the caller then copies through memory.
    Result<std::optional<std::uint64_t>> CopyFrom(const InputFile& source, std::uint64_t offset, std::uint64_t length);
    // Puts the new content on disk; the temporary file takes no more writes after it.
    Status Flush();
    // Flushes the new content to disk unless Flush or a GroupFlush did, gives it the target's attributes and
    // puts it in the target's place, provided the target is still the file `expected` describes, unchanged:
    // false, with nothing replaced, when it is not. The target must no longer be open (Windows cannot replace
    // a file that is). A target that has vanished meanwhile is not created again.
    Result<bool> Replace(const FileStamp& expected);

    const Path& temporary_path() const { return temporary_; }

  private:
    friend class GroupFlush;
    ReplacementFile(Path target, Path temporary, std::intptr_t handle);
    void Discard();

    Path target_;
    Path temporary_;
    std::intptr_t handle_;
    bool flushed_ = false;  // the content is on disk
    bool settled_ = false;  // replaced, or handed over to the user: nothing left to remove
};

// One flush for the new content of many replacement files in one folder, where the system has one that
// reports the failures of the writes it waits for: syncfs on Linux from 5.8 on, on local file systems that
// flush through it. It flushes what other programs wrote to that file system too.
class GroupFlush {
  public:
    // Nothing where no such flush serves `folder`: each file is then flushed on its own.
    static std::optional<GroupFlush> For(const Path& folder);

    GroupFlush(GroupFlush&& other) noexcept;
    GroupFlush& operator=(GroupFlush&& other) = delete;
    ~GroupFlush();

    // Flushes everything written to the folder's file system so far, `files` among it; each of them on that
    // file system then counts as flushed. False, with none of them counted, when the system reports that a
    // write failed since this object was made or last called, perhaps another program's, or when it holds so
    // much unwritten data that flushing all of it would take longer than flushing the files one by one: flush
    // each file on its own then, which also tells whose a failure was.
    bool Flush(std::span<ReplacementFile* const> files);

    // How many files waiting for this flush may be held open at once: a share of what the process may open.
    std::size_t most_open() const { return most_open_; }

  private:
    GroupFlush(std::intptr_t handle, std::uint64_t device, std::size_t most_open)
        : handle_(handle), device_(device), most_open_(most_open) {}

    std::intptr_t handle_;
    std::uint64_t device_ = 0;  // the file system the folder was on when this was made
    std::size_t most_open_ = 0;
};

// Whether the failure says that the disk, or the user's share of it, is full.
bool IsOutOfSpace(const Error& error);

// Waits until the files that replacements took the place of are freed, where the system frees them in the
// background (Linux); whether any were still held. For a write that found the disk full, before it is tried
// again.
bool FreeReplacedFiles();

// Makes every wait for a file that another program holds (about two seconds) give up at once, from now on:
// for a program that is ending.
void AbandonWaits();

// Makes the replacements done in `folder` durable. Renames are atomic without it; this only hastens the
// moment the new names are safe on disk, so one call after a whole run serves. Fails when the system cannot
// confirm that they are; a file system that cannot flush a folder at all is no failure.
Status SyncFolder(const Path& folder);

// The whole content of a small file, such as a text given on the command line by file name, read to its end
// (a pipe too) but never past `most` bytes: a longer content stops the read at `most` + 1 bytes.
Result<std::string> ReadWholeFile(const Path& path, std::size_t most);

// Paths from the window's UTF-16 text and back. A text that cannot name a path (an unpaired surrogate on a
// system whose paths are UTF-8) yields nothing.
std::optional<Path> PathFromText(std::u16string_view text);
std::u16string PathText(const Path& path);

}  // namespace platform
