#pragma once

#include <string>

#include "platform/file_system.h"

namespace platform {

// `path` made full against the current folder and drive, as the system does; the path itself when the
// system rejects it (the call that uses it then reports why).
std::wstring FullPath(const std::wstring& path);

// `path` as the file functions take it at any length, also where the system's long-path setting is off:
// made full the way the user expects (relative parts, "/", "..", trailing dots and spaces resolved) and
// given the \\?\ prefix, \\?\UNC\ for a network path. A path that has a prefix already is left alone.
std::wstring SystemPath(const Path& path);

// `path`, a folder followed by the name of an entry as the folder's listing gave it, in the same form: the
// folder made full as above, the name kept verbatim. The system's rules for names typed by a user would
// take "nul.txt" or "com1.txt" for a device; such files exist all the same.
std::wstring SystemPathOfEntry(const Path& path);

}  // namespace platform
