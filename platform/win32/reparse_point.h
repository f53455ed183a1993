#pragma once

#include <windows.h>

namespace platform {

// Whether an entry stands for another file or folder: a symbolic link, a junction or a mount point. Reparse
// points of other kinds (deduplicated, system-compressed or cloud files) hold the file's own data and are
// plain files to the user.
inline bool IsLink(DWORD attributes, DWORD reparse_tag) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsReparseTagNameSurrogate(reparse_tag);
}

// Whether an opened entry is a file with data of its own: neither a folder nor a link.
inline bool IsPlainFile(DWORD attributes, DWORD reparse_tag) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && !IsLink(attributes, reparse_tag);
}

}  // namespace platform
