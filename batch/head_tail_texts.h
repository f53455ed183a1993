#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "batch/text_encoding.h"

// The head and tail of one run: trimmed once and encoded once in every encoding a file can have, then only
// read, by the run and by every thread that prepares files ahead of it.
class HeadTailTexts {
  public:
    // What goes before and after a file's former content, in one encoding.
    struct Framing {
        std::string before;  // head, CR LF
        std::string after;   // CR LF, tail
        bool operator==(const Framing&) const = default;
    };

    // Takes the texts as typed; leading and trailing spaces are dropped here. A blank text is left out
    // together with its CR LF.
    HeadTailTexts(std::u16string_view head, std::u16string_view tail);

    // Nothing when the texts hold a character that `encoding` cannot represent.
    const std::optional<Framing>& For(FileEncoding encoding) const {
        return framings_[static_cast<std::size_t>(encoding)];
    }

    // The most bytes that head and tail, with their line breaks, add to a file in any encoding.
    std::uint64_t most_added() const { return most_added_; }

    // The texts as the run writes them: trimmed.
    const std::u16string& head() const { return head_; }
    const std::u16string& tail() const { return tail_; }

  private:
    std::u16string head_;
    std::u16string tail_;
    std::array<std::optional<Framing>, 6> framings_;
    std::uint64_t most_added_ = 0;
};
