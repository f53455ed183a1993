#include "cli/box_text.h"

namespace cli {
namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

}  // namespace

std::optional<std::u16string> Utf16FromUtf8(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char lead = *p;
        char32_t c;
        int length;
        char32_t smallest;
        if (lead < 0x80) {
            c = lead;
            length = 1;
            smallest = 0;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            c = lead & 0x1F;
            length = 2;
            smallest = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            c = lead & 0x0F;
            length = 3;
            smallest = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            c = lead & 0x07;
            length = 4;
            smallest = 0x10000;
        } else {
            return std::nullopt;
        }
        if (end - p < length) {
            return std::nullopt;
        }
        for (int k = 1; k < length; ++k) {
            if (!IsContinuation(p[k])) {
                return std::nullopt;
            }
            c = (c << 6) | (p[k] & 0x3F);
        }
        if (c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            return std::nullopt;
        }
        if (c >= 0x10000) {
            text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            text += static_cast<char16_t>(c);
        }
        p += length;
    }
    return text;
}

std::optional<std::u16string> BoxTextFromFile(std::string_view bytes) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (bytes.starts_with(kByteOrderMark)) {
        bytes.remove_prefix(kByteOrderMark.size());
    }
    const std::optional<std::u16string> decoded = Utf16FromUtf8(bytes);
    if (!decoded) {
        return std::nullopt;
    }

    std::u16string text;
    text.reserve(decoded->size() + decoded->size() / 16);
    for (std::size_t i = 0; i < decoded->size(); ++i) {
        const char16_t c = (*decoded)[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < decoded->size() && (*decoded)[i + 1] == u'\n') {
                ++i;
            }
            text += u"\r\n";
        } else {
            text += c;
        }
    }
    if (text.ends_with(u"\r\n")) {
        text.resize(text.size() - 2);
    }
    return text;
}

}  // namespace cli
