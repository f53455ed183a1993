#include "batch/file_list.h"

#include <algorithm>

namespace {

bool IsSeparator(platform::Path::value_type c) {
    return c == '/' || c == platform::Path::preferred_separator;
}

void AppendPart(platform::Path::string_type& path, FileList::Name part) {
    if (!path.empty() && !IsSeparator(path.back())) {
        path += platform::Path::preferred_separator;
    }
    path.append(part);
}

}  // namespace

platform::Path Joined(const platform::Path& folder, const platform::Path& part) {
    platform::Path::string_type path = folder.native();
    AppendPart(path, part.native());
    return path;
}

std::uint32_t FileList::AddFolder(platform::Path relative) {
    folders_.push_back(std::move(relative));
    return static_cast<std::uint32_t>(folders_.size() - 1);
}

void FileList::Add(std::uint32_t folder, Name name, std::uint64_t size) {
    if (stretches_.empty() || stretches_.back().folder != folder) {
        stretches_.push_back({entries_.size(), folder});
    }
    entries_.push_back({size, names_.size()});
    names_.append(name);
}

std::uint32_t FileList::FolderOf(std::size_t index) const {
    const auto after =
        std::upper_bound(stretches_.begin(), stretches_.end(), index,
                         [](std::size_t wanted, const Stretch& stretch) { return wanted < stretch.first; });
    return std::prev(after)->folder;
}

FileList::Name FileList::NameOf(std::size_t index) const {
    const std::size_t end = index + 1 < entries_.size() ? entries_[index + 1].name_start : names_.size();
    return Name(names_).substr(entries_[index].name_start, end - entries_[index].name_start);
}

platform::Path FileList::FolderPath(std::uint32_t folder) const {
    return FolderText(folder);
}

// Put together as text and made a path once: each path made parses all its parts.
platform::Path::string_type FileList::FolderText(std::uint32_t folder) const {
    platform::Path::string_type path = top_.native();
    if (!folders_[folder].empty()) {
        AppendPart(path, folders_[folder].native());
    }
    return path;
}

platform::Path FileList::PathOf(std::size_t index) const {
    platform::Path::string_type path = FolderText(FolderOf(index));
    AppendPart(path, NameOf(index));
    return path;
}

platform::Path FileList::RelativePathOf(std::size_t index) const {
    platform::Path::string_type path = folders_[FolderOf(index)].native();
    AppendPart(path, NameOf(index));
    return path;
}

platform::Result<std::optional<platform::InputFile>> FileOpener::OpenNormalFile(std::size_t index) {
    const std::uint32_t folder = files_.FolderOf(index);
    if (!tried_ || folder != folder_number_) {
        auto opened = platform::OpenedFolder::Open(files_.FolderPath(folder));
        folder_ = opened.ok() ? std::optional(std::move(opened.value())) : std::nullopt;
        folder_number_ = folder;
        tried_ = true;
    }
    return folder_ ? folder_->OpenNormalFile(files_.NameOf(index)) : platform::OpenNormalFile(files_.PathOf(index));
}
