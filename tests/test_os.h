#pragma once

#include <filesystem>

// File attributes that tests set up and the program itself only reads.

// Hides the file. Where hidden means a name starting with ".", the name must already start with one.
void MakeHidden(const std::filesystem::path& path);
// Marks the file as a system file where the system knows that attribute; true when it did.
bool MakeSystem(const std::filesystem::path& path);
