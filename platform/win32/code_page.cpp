#include <windows.h>

#include "platform/code_page.h"
#include "platform/unicode.h"

namespace platform {
namespace {

const wchar_t* Wide(std::u16string_view text) {
    return reinterpret_cast<const wchar_t*>(text.data());
}

// Code page 936 maps private-use characters to its unassigned bytes, which glibc's CP936 refuses;
// refusing them here too keeps both builds writing the same files.
bool HasPrivateUse(std::u16string_view text) {
    for (const char16_t unit : text) {
        if (unit >= 0xE000 && unit <= 0xF8FF) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool AnsiIsUtf8() {
    return GetACP() == CP_UTF8;
}

std::optional<std::string> EncodeAnsi(std::u16string_view text) {
    if (AnsiIsUtf8()) {
        return Utf16ToUtf8(text);
    }
    if (text.empty()) {
        return std::string();
    }
    if (HasPrivateUse(text) || !ForEachCodePoint(text, [](std::uint32_t) {})) {
        return std::nullopt;
    }
    const int length = static_cast<int>(text.size());
    BOOL used_default = FALSE;
    const int size =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, Wide(text), length, nullptr, 0, nullptr, &used_default);
    if (size <= 0 || used_default) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, Wide(text), length, bytes.data(), size, nullptr, &used_default);
    if (used_default) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::u16string> DecodeAnsi(std::string_view bytes) {
    if (bytes.empty()) {
        return std::u16string();
    }
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (size <= 0) {
        return std::nullopt;
    }
    std::u16string text(static_cast<std::size_t>(size), u'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), length, reinterpret_cast<wchar_t*>(text.data()),
                        size);
    return text;
}

}  // namespace platform
