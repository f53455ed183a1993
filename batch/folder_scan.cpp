#include "batch/folder_scan.h"

#include <algorithm>
#include <array>

namespace {

// Compares the last four characters of the full path, whatever the system's path character type.
bool EndsWithTxt(const platform::Path& path) {
    const auto& text = path.native();
    constexpr std::array<char, 4> kSuffix{'.', 't', 'x', 't'};
    return text.size() > kSuffix.size() &&
           std::equal(kSuffix.begin(), kSuffix.end(), text.end() - kSuffix.size(),
                      [](char expected, auto actual) { return static_cast<decltype(actual)>(expected) == actual; });
}

}  // namespace

bool FolderExists(const platform::Path& path) {
    const auto entry = platform::FindFirstEntry(path, platform::kDirectoryEntries);
    return entry.ok() && !entry.value().empty();
}

platform::Result<FileList> CollectTxtFiles(const platform::Path& folder, bool sizes) {
    auto listing = platform::ListFolderFiles(folder, sizes);
    if (!listing.ok()) {
        return listing.error();
    }
    FileList files = std::move(listing.value());
    std::erase_if(files, [](const platform::FolderEntry& file) { return !EndsWithTxt(file.path); });
    return files;
}
