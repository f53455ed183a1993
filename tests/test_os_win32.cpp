#include <windows.h>

#include <stdexcept>

#include "tests/test_os.h"

void MakeHidden(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        !SetFileAttributesW(path.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN)) {
        throw std::runtime_error("cannot hide a file");
    }
}
