#include "platform/code_page.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <memory>

namespace platform {
namespace {

static_assert(std::endian::native == std::endian::little, "UTF-16 text is handed to iconv as UTF-16LE");

// Code page 936 as Windows has it. Strict: no transliteration, nothing skipped.
constexpr const char* kAnsi = "CP936";
constexpr const char* kUtf16 = "UTF-16LE";

struct IconvCloser {
    void operator()(iconv_t cd) const { iconv_close(cd); }
};
using UniqueIconv = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

// Converts all of `input`; nothing when a character has no counterpart or the input is malformed.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view input) {
    const UniqueIconv cd(iconv_open(to, from));
    if (cd.get() == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string output(input.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t in_left = input.size();
    std::size_t out_used = 0;
    for (;;) {
        char* out = output.data() + out_used;
        std::size_t out_left = output.size() - out_used;
        const std::size_t result = iconv(cd.get(), &in, &in_left, &out, &out_left);
        out_used = output.size() - out_left;
        if (result == static_cast<std::size_t>(-1) && errno == E2BIG) {
            output.resize(output.size() * 2);
            continue;
        }
        if (result != 0) {
            return std::nullopt;  // EILSEQ, EINVAL, or a character converted by approximation
        }
        break;
    }
    output.resize(out_used);
    return output;
}

}  // namespace

std::optional<std::string> EncodeAnsi(std::u16string_view text) {
    return Convert(kAnsi, kUtf16, {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)});
}

std::optional<std::u16string> DecodeAnsi(std::string_view bytes) {
    const auto converted = Convert(kUtf16, kAnsi, bytes);
    if (!converted) {
        return std::nullopt;
    }
    std::u16string text(converted->size() / sizeof(char16_t), u'\0');
    converted->copy(reinterpret_cast<char*>(text.data()), text.size() * sizeof(char16_t));
    return text;
}

bool AnsiIsUtf8() {
    return false;
}

}  // namespace platform
