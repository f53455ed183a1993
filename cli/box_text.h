#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cli {

// The text that a head or tail file stands for, as the window's edit box would hold it: the file is UTF-8
// with or without a byte-order mark; every line break (CR LF, LF or CR) becomes CR LF; the line break that
// ends the file's last line is not part of the text, since editors add it on their own. Nothing when the
// file is not UTF-8.
std::optional<std::u16string> BoxTextFromFile(std::string_view bytes);

}  // namespace cli
