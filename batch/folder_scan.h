#pragma once

#include <vector>

#include "platform/file_system.h"
#include "platform/result.h"

// The text files a run rewrites, in the order the folder listing yields them.
using FileList = std::vector<platform::FolderEntry>;

// Whether `path` names something a run can scan: a directory-entry lookup that admits directories finds
// it. A normal file passes too; a path ending in a separator passes when the folder has any entry.
bool FolderExists(const platform::Path& path);

// The files directly in `folder` whose full path ends in ".txt" (exactly; "a.TXT" does not), hidden and
// system files included. Fails when the folder cannot be listed.
// Without `sizes`, the sizes may be left at 0 (see ListFolderFiles).
platform::Result<FileList> CollectTxtFiles(const platform::Path& folder, bool sizes = true);
