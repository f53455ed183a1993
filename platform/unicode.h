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
// Strict UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF); nothing when `bytes` are not.
std::optional<std::u16string> Utf8ToUtf16(std::string_view bytes);

// For showing names and messages, never for content: what cannot be converted becomes U+FFFD.
std::string Utf16ToUtf8Lenient(std::u16string_view text);
std::u16string Utf8ToUtf16Lenient(std::string_view bytes);

}  // namespace platform
