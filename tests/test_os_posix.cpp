#include <sys/stat.h>

#include <stdexcept>

#include "tests/test_os.h"

void MakeHidden(const std::filesystem::path& path) {
    if (!path.filename().native().starts_with('.')) {
        throw std::logic_error("hidden files need a name starting with '.' here");
    }
}

bool MakeSystem(const std::filesystem::path&) {
    return false;
}

unsigned AttributesOf(const std::filesystem::path& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) {
        throw std::runtime_error("lstat failed");
    }
    return info.st_mode;
}
