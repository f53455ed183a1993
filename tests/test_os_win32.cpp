#include <windows.h>

#include <stdexcept>

#include "tests/test_os.h"

namespace {

void AddAttribute(const std::filesystem::path& path, DWORD attribute) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !SetFileAttributesW(path.c_str(), attributes | attribute)) {
        throw std::runtime_error("cannot set a file attribute");
    }
}

}  // namespace

void MakeHidden(const std::filesystem::path& path) {
    AddAttribute(path, FILE_ATTRIBUTE_HIDDEN);
}

bool MakeSystem(const std::filesystem::path& path) {
    AddAttribute(path, FILE_ATTRIBUTE_SYSTEM);
    return true;
}
