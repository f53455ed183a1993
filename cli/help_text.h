#pragma once

#include <string_view>

namespace cli {

// What `varnotta-cli --help` prints, in Chinese and in English.
extern const std::u16string_view kHelpText;

// The line that follows a usage error.
extern const std::u16string_view kHelpHint;

}  // namespace cli
