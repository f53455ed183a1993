#pragma once

#include "platform/file_system.h"

// Whether `path` names something a run can scan: a directory-entry lookup that admits directories finds
// it. A normal file passes too; a path ending in a separator passes when the folder has any entry.
bool FolderExists(const platform::Path& path);
