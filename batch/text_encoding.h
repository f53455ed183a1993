#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The encodings a text file can be in. Files without a byte-order mark are UTF-8 or the ANSI code page.
enum class FileEncoding { Ansi, Utf8, Utf16Le, Utf16Be, Utf32Le, Utf32Be };

struct ByteOrderMark {
    FileEncoding encoding;
    std::size_t length;
};

// The byte-order mark that `start` (the first bytes of a file) begins with, if any.
std::optional<ByteOrderMark> FindByteOrderMark(std::string_view start);

// `text` in `encoding`, or nothing when it holds a character the encoding cannot represent
// (or an unpaired surrogate).
std::optional<std::string> EncodeText(std::u16string_view text, FileEncoding encoding);
