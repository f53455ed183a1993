#include <stdexcept>

#include "tests/test_os.h"

void MakeHidden(const std::filesystem::path& path) {
    if (!path.filename().native().starts_with('.')) {
        throw std::logic_error("hidden files need a name starting with '.' here");
    }
}
