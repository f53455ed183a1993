#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Conversions between the Unicode encoding forms, free of any system call.
namespace platform {

// Calls `sink` with each code point of `text`; false (part-way) at an unpaired surrogate.
template <typename Sink>
bool ForEachCodePoint(std::u16string_view text, Sink&& sink) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
                return false;
            }
            unit = 0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        }
        sink(unit);
    }
    return true;
}

void AppendUtf8(std::string& out, std::uint32_t code_point);

// Nothing when `text` holds an unpaired surrogate.
std::optional<std::string> Utf16ToUtf8(std::u16string_view text);
// Bytes that are not UTF-8 become U+FFFD: for showing names, never for content.
std::u16string Utf8ToUtf16Lenient(std::string_view bytes);

}  // namespace platform
