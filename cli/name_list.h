#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// The file names in a list that another program wrote, one a line (LF or CR LF) or, `null_separated`, each
// ended by a NUL: UTF-8 with or without a byte-order mark, or UTF-16 after one. Empty names are dropped.
// Nothing when the bytes are in none of these encodings.
std::optional<std::vector<std::u16string>> NamesFromList(std::string_view bytes, bool null_separated);

}  // namespace cli
