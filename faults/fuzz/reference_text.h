#pragma once

#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>

#include "faults/fuzz/utf8_reference.h"

// Plain, slow restatements of the rules the batch core follows for text, written apart from it so that
// the fuzz target can hold the core's fast code against them.
namespace reference {

// The encodings by the names iconv knows them by; "CP936" is Windows' code page 936, applied strictly.
enum class Encoding { Ansi, Utf8, Utf16Le, Utf16Be, Utf32Le, Utf32Be };
inline constexpr const char* kIconvNames[] = {"CP936", "UTF-8", "UTF-16LE", "UTF-16BE", "UTF-32LE", "UTF-32BE"};

struct Detected {
    Encoding encoding;
    std::size_t mark_length;
};

// A mark decides, UTF-32 before UTF-16 (FF FE 00 00 also starts with FF FE). Without one: an empty file is
// ANSI; otherwise UTF-8 when all of it is valid UTF-8 with at least one byte above 7F, ANSI else.
inline Detected Detect(std::string_view file) {
    const std::pair<std::string_view, Encoding> marks[] = {{std::string_view("\xFF\xFE\0\0", 4), Encoding::Utf32Le},
                                                           {std::string_view("\0\0\xFE\xFF", 4), Encoding::Utf32Be},
                                                           {"\xEF\xBB\xBF", Encoding::Utf8},
                                                           {"\xFF\xFE", Encoding::Utf16Le},
                                                           {"\xFE\xFF", Encoding::Utf16Be}};
    for (const auto& [mark, encoding] : marks) {
        if (file.starts_with(mark)) {
            return {encoding, mark.size()};
        }
    }
    Utf8Validator utf8;
    for (const char byte : file) {
        utf8.Take(static_cast<unsigned char>(byte));
    }
    return {utf8.valid() && utf8.saw_non_ascii() ? Encoding::Utf8 : Encoding::Ansi, 0};
}

// Leading and trailing U+0020 removed, nothing else.
inline std::u16string Trim(std::u16string text) {
    text.erase(0, text.find_first_not_of(u' '));
    text.erase(text.find_last_not_of(u' ') + 1);
    return text;
}

// The text in the encoding, by glibc's converters, which refuse unpaired surrogates and what an encoding
// cannot hold; nothing then.
inline std::optional<std::string> Encode(std::u16string_view text, Encoding encoding) {
    const iconv_t converter = iconv_open(kIconvNames[static_cast<int>(encoding)], "UTF-16LE");
    std::string in(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    std::string out(text.size() * 4 + 8, '\0');
    char* in_at = in.data();
    char* out_at = out.data();
    std::size_t in_left = in.size();
    std::size_t out_left = out.size();
    const bool converted = iconv(converter, &in_at, &in_left, &out_at, &out_left) == 0 && in_left == 0;
    iconv_close(converter);
    return converted ? std::optional<std::string>(out.substr(0, out.size() - out_left)) : std::nullopt;
}

}  // namespace reference
