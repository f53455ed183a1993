#pragma once

#include <functional>
#include <string_view>

namespace cli {

// Hands each file name in a list that another program wrote to `each`, in order: one a line (LF or CR LF)
// or, `null_separated`, each ended by a NUL; UTF-8 with or without a byte-order mark, or UTF-16 after one.
// Empty names are dropped. False, before any name is handed over, when the bytes are in none of these
// encodings.
bool ForEachListedName(std::string_view bytes, bool null_separated,
                       const std::function<void(std::u16string_view)>& each);

}  // namespace cli
