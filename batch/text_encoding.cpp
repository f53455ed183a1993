#include "batch/text_encoding.h"

#include <array>
#include <cstdint>

#include "platform/code_page.h"
#include "platform/unicode.h"

namespace {

constexpr std::array<std::pair<std::string_view, FileEncoding>, 5> kByteOrderMarks{{
    // UTF-32 LE must come before UTF-16 LE, whose mark it starts with.
    {std::string_view("\xFF\xFE\x00\x00", 4), FileEncoding::Utf32Le},
    {std::string_view("\x00\x00\xFE\xFF", 4), FileEncoding::Utf32Be},
    {std::string_view("\xEF\xBB\xBF", 3), FileEncoding::Utf8},
    {std::string_view("\xFF\xFE", 2), FileEncoding::Utf16Le},
    {std::string_view("\xFE\xFF", 2), FileEncoding::Utf16Be},
}};

// Appends the low `width` bytes of `value`, least significant first or last.
void AppendUnit(std::string& out, std::uint32_t value, int width, bool big_endian) {
    for (int i = 0; i < width; ++i) {
        const int shift = 8 * (big_endian ? width - 1 - i : i);
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

std::optional<std::string> EncodeUnicode(std::u16string_view text, FileEncoding encoding) {
    std::string out;
    const bool ok = platform::ForEachCodePoint(text, [&](std::uint32_t cp) {
        switch (encoding) {
            case FileEncoding::Utf8:
                platform::AppendUtf8(out, cp);
                break;
            case FileEncoding::Utf16Le:
            case FileEncoding::Utf16Be: {
                const bool big = encoding == FileEncoding::Utf16Be;
                if (cp >= 0x10000) {
                    AppendUnit(out, 0xD800 + ((cp - 0x10000) >> 10), 2, big);
                    AppendUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF), 2, big);
                } else {
                    AppendUnit(out, cp, 2, big);
                }
                break;
            }
            default:
                AppendUnit(out, cp, 4, encoding == FileEncoding::Utf32Be);
                break;
        }
    });
    if (!ok) {
        return std::nullopt;
    }
    return out;
}

}  // namespace

std::optional<ByteOrderMark> FindByteOrderMark(std::string_view start) {
    for (const auto& [mark, encoding] : kByteOrderMarks) {
        if (start.starts_with(mark)) {
            return ByteOrderMark{encoding, mark.size()};
        }
    }
    return std::nullopt;
}

std::optional<std::string> EncodeText(std::u16string_view text, FileEncoding encoding) {
    if (encoding == FileEncoding::Ansi && !platform::AnsiIsUtf8()) {
        return platform::EncodeAnsi(text);
    }
    return EncodeUnicode(text, encoding == FileEncoding::Ansi ? FileEncoding::Utf8 : encoding);
}
