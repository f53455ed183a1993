#include "cli/box_text.h"

#include "platform/unicode.h"

namespace cli {

std::optional<std::u16string> BoxTextFromFile(std::string_view bytes) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (bytes.starts_with(kByteOrderMark)) {
        bytes.remove_prefix(kByteOrderMark.size());
    }
    const std::optional<std::u16string> decoded = platform::Utf8ToUtf16(bytes);
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
