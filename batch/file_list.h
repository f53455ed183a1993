#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

// `folder` followed by `part` after a separator, unless `folder` already ends in one. Unlike Path's operator/,
// this never reads "C:" as the current folder of drive C: a folder listing takes it for the drive's root.
platform::Path Joined(const platform::Path& folder, const platform::Path& part);

// The files a run rewrites, in the order it takes them, held compactly: every name once in one shared
// buffer and every folder once in a table, so that a million files cost tens of bytes each rather than a
// full path each. Paths are put together only when a file's turn comes.
class FileList {
  public:
    using Name = std::basic_string_view<platform::Path::value_type>;

    // `top` as the user gave it: every path the list hands out starts with it.
    explicit FileList(platform::Path top) : top_(std::move(top)) {}

    // Adds a folder by its path relative to the top (empty for the top itself) and answers its number.
    std::uint32_t AddFolder(platform::Path relative);
    // Appends a file named `name` in folder number `folder`, of `size` bytes as listed.
    void Add(std::uint32_t folder, Name name, std::uint64_t size);

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    std::uint64_t SizeOf(std::size_t index) const { return entries_[index].size; }
    std::uint32_t FolderOf(std::size_t index) const;
    std::size_t folder_count() const { return folders_.size(); }

    // Whether every file lies on the top folder's file system, which one flush of it then serves.
    bool on_one_file_system() const { return on_one_file_system_; }
    void MarkOtherFileSystem() { on_one_file_system_ = false; }

    // The file's path from the top folder as given, and relative to it.
    platform::Path PathOf(std::size_t index) const;
    platform::Path RelativePathOf(std::size_t index) const;
    // The folder's path from the top folder as given, and relative to it.
    platform::Path FolderPath(std::uint32_t folder) const;
    const platform::Path& RelativeFolderPath(std::uint32_t folder) const { return folders_[folder]; }
    // The file's name in its folder, as the listing gave it.
    Name NameOf(std::size_t index) const;

  private:
    platform::Path::string_type FolderText(std::uint32_t folder) const;

    struct Entry {
        std::uint64_t size;
        std::uint64_t name_start;  // in names_; the name ends where the next one starts
    };
    // A stretch of consecutive entries in one folder: a walk adds a folder's files together.
    struct Stretch {
        std::size_t first;
        std::uint32_t folder;
    };

    platform::Path top_;
    std::vector<platform::Path> folders_;
    std::vector<Stretch> stretches_;
    std::vector<Entry> entries_;
    platform::Path::string_type names_;
    bool on_one_file_system_ = true;
};

// Opens the files of a list in turn, each through its folder, held open while the folder's files come, which
// spares the system a walk of the folder's path per file. A folder that cannot be held open (gone since it was
// listed, say) is read through each file's full path, whose open then tells what became of the file.
class FileOpener {
  public:
    explicit FileOpener(const FileList& files) : files_(files) {}

    // As platform::OpenNormalFile does.
    platform::Result<std::optional<platform::InputFile>> OpenNormalFile(std::size_t index);

  private:
    const FileList& files_;
    std::optional<platform::OpenedFolder> folder_;
    std::uint32_t folder_number_ = 0;
    bool tried_ = false;
};
