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

}  // namespace platform
