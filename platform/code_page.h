#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Conversions between UTF-16 and the system ANSI code page (code page 936 on the systems the program is
// made for). Both refuse what they cannot convert exactly instead of substituting a look-alike or "?".
std::optional<std::string> EncodeAnsi(std::u16string_view text);
std::optional<std::u16string> DecodeAnsi(std::string_view bytes);

// True where the system ANSI code page is UTF-8 itself.
bool AnsiIsUtf8();

}  // namespace platform
