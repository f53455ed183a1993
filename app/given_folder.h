#pragma once

#include <optional>
#include <string>

#include "platform/win32/shell.h"

// The folder box's text for a path handed to the program, on its command line or by a drop: a folder as it
// is, a file's own folder, ending in "\" as Browse gives it. Nothing for a path that names neither.
std::optional<std::u16string> FolderBoxText(const platform::NamedEntry& entry);
