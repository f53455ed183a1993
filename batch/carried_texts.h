#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/text_encoding.h"

// Whether a file carries a head or a tail text, judged on encoded bytes, never on decoded text. The texts are
// those a run writes (trimmed, each line break CR LF); a line break in the file matches CR LF or a lone LF
// alike, and a CR LF is always taken whole. After a byte-order mark the texts are looked for in that mark's
// encoding; without one, in UTF-8 and in the ANSI code page. A blank text is always carried.

// One head or tail text in every encoding, cut at its CR LFs, encoded once per run.
class CarriedText {
  public:
    using Pieces = std::vector<std::string>;

    // `text` as the run writes it: already trimmed.
    explicit CarriedText(std::u16string_view text);

    bool blank() const { return blank_; }
    // Nothing when `encoding` cannot hold the text.
    const std::optional<Pieces>& In(FileEncoding encoding) const { return forms_[static_cast<std::size_t>(encoding)]; }
    // Whether the text has other bytes in UTF-8 than in the ANSI code page: only then does carrying it tell
    // which of the two a file is written in.
    bool tells_ansi_from_utf8() const { return tells_ansi_from_utf8_; }
    // The most bytes the text, its line break before and one after it take in any encoding.
    std::size_t most_bytes() const { return most_bytes_; }

  private:
    std::array<std::optional<Pieces>, 6> forms_;
    bool blank_ = true;
    bool tells_ansi_from_utf8_ = false;
    std::size_t most_bytes_ = 0;
};

// The first and the last bytes of a file, as many as the texts looked for can take, and its size. Where the
// file is short the two overlap or are the whole file.
struct FileEnds {
    std::string_view start;
    std::string_view end;
    std::uint64_t size = 0;
};

// One text as a file carries it.
struct CarriedPart {
    std::size_t length = 0;            // bytes with its line breaks; 0 for a blank text
    std::optional<FileEncoding> form;  // the encoding it was found in, where that tells the file's encoding
};

// Where a file carries a head (right after its byte-order mark) and a tail (at its very end, after the head).
struct Carried {
    std::optional<CarriedPart> head;  // nothing: not carried
    std::optional<CarriedPart> tail;
};

Carried FindCarried(const FileEnds& ends, const CarriedText& head, const CarriedText& tail);
