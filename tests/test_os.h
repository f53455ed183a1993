#pragma once

#include <filesystem>

// Hides the file, an attribute that tests set up and the program itself only reads. Where hidden means a name
// starting with ".", the name must already start with one.
void MakeHidden(const std::filesystem::path& path);
