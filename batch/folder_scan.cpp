#include "batch/folder_scan.h"

bool FolderExists(const platform::Path& path) {
    const auto entry = platform::FindFirstEntry(path, platform::kDirectoryEntries);
    return entry.ok() && !entry.value().empty();
}
