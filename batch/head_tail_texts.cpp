#include "batch/head_tail_texts.h"

#include <algorithm>

#include "batch/trim.h"

namespace {

constexpr FileEncoding kEncodings[] = {FileEncoding::Ansi,    FileEncoding::Utf8,    FileEncoding::Utf16Le,
                                       FileEncoding::Utf16Be, FileEncoding::Utf32Le, FileEncoding::Utf32Be};

}  // namespace

HeadTailTexts::HeadTailTexts(std::u16string_view head, std::u16string_view tail)
    : head_(TrimSpaces(head)), tail_(TrimSpaces(tail)) {
    const std::u16string before = head_.empty() ? u"" : head_ + u"\r\n";
    const std::u16string after = tail_.empty() ? u"" : u"\r\n" + tail_;
    for (const FileEncoding encoding : kEncodings) {
        auto encoded_before = EncodeText(before, encoding);
        auto encoded_after = EncodeText(after, encoding);
        if (encoded_before && encoded_after) {
            most_added_ = std::max<std::uint64_t>(most_added_, encoded_before->size() + encoded_after->size());
            framings_[static_cast<std::size_t>(encoding)] =
                Framing{std::move(*encoded_before), std::move(*encoded_after)};
        }
    }
}
