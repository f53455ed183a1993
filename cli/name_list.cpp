#include "cli/name_list.h"

#include "platform/unicode.h"

namespace cli {
namespace {

// UTF-16 after its byte-order mark, in the order the mark gives; nothing for an odd length or an unpaired
// surrogate.
std::optional<std::u16string> FromUtf16(std::string_view bytes, bool big_endian) {
    if (bytes.size() % 2 != 0) {
        return std::nullopt;
    }
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        text[i] = static_cast<char16_t>(big_endian ? (first << 8) | second : (second << 8) | first);
    }
    if (!platform::ForEachCodePoint(text, [](std::uint32_t) {})) {
        return std::nullopt;
    }
    return text;
}

std::optional<std::u16string> Decoded(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        return FromUtf16(bytes.substr(2), bytes[0] == '\xFE');
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    return platform::Utf8ToUtf16(bytes);
}

}  // namespace

bool ForEachListedName(std::string_view bytes, bool null_separated,
                       const std::function<void(std::u16string_view)>& each) {
    const std::optional<std::u16string> text = Decoded(bytes);
    if (!text) {
        return false;
    }
    const char16_t separator = null_separated ? u'\0' : u'\n';
    std::size_t start = 0;
    while (start < text->size()) {
        std::size_t end = text->find(separator, start);
        end = end == std::u16string::npos ? text->size() : end;
        std::u16string_view name = std::u16string_view(*text).substr(start, end - start);
        if (!null_separated && name.ends_with(u'\r')) {
            name.remove_suffix(1);
        }
        if (!name.empty()) {
            each(name);
        }
        start = end + 1;
    }
    return true;
}

}  // namespace cli
