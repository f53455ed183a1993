#pragma once

#include <string_view>

// The text without its leading and trailing spaces (U+0020 only: tabs, line breaks and the ideographic
// space stay). A text is blank when nothing is left.
std::u16string_view TrimSpaces(std::u16string_view text);
inline bool IsBlank(std::u16string_view text) {
    return TrimSpaces(text).empty();
}
