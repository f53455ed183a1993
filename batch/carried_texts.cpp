#include "batch/carried_texts.h"

#include <algorithm>
#include <array>

namespace {

constexpr FileEncoding kEncodings[] = {FileEncoding::Ansi,    FileEncoding::Utf8,    FileEncoding::Utf16Le,
                                       FileEncoding::Utf16Be, FileEncoding::Utf32Le, FileEncoding::Utf32Be};

// CR and LF in one encoding.
struct LineBreak {
    std::string cr;
    std::string lf;

    explicit LineBreak(FileEncoding encoding) : cr(*EncodeText(u"\r", encoding)), lf(*EncodeText(u"\n", encoding)) {}

    // The bytes of the line break that `bytes` begins with: CR LF, or a lone LF; 0 when there is none.
    std::size_t At(std::string_view bytes) const {
        if (bytes.starts_with(cr) && bytes.substr(cr.size()).starts_with(lf)) {
            return cr.size() + lf.size();
        }
        return bytes.starts_with(lf) ? lf.size() : 0;
    }
    // The bytes of the line break that `bytes` ends with, its CR taken along where there is one.
    std::size_t Before(std::string_view bytes) const {
        if (!bytes.ends_with(lf)) {
            return 0;
        }
        return bytes.substr(0, bytes.size() - lf.size()).ends_with(cr) ? cr.size() + lf.size() : lf.size();
    }
};

// The line breaks of every encoding, encoded once for the whole program.
const LineBreak& LineBreakIn(FileEncoding encoding) {
    static const std::array<LineBreak, 6> breaks{LineBreak(kEncodings[0]), LineBreak(kEncodings[1]),
                                                 LineBreak(kEncodings[2]), LineBreak(kEncodings[3]),
                                                 LineBreak(kEncodings[4]), LineBreak(kEncodings[5])};
    return breaks[static_cast<std::size_t>(encoding)];
}

// The length of the text and the line break after it at the start of `bytes`. A lone LF right after a CR of
// the text does not count: it would split a CR LF of the file.
std::optional<std::size_t> MatchHead(std::string_view bytes, const CarriedText::Pieces& pieces,
                                     const LineBreak& breaks) {
    std::size_t at = 0;
    for (const std::string& piece : pieces) {
        if (!bytes.substr(at).starts_with(piece)) {
            return std::nullopt;
        }
        at += piece.size();
        const std::size_t line_break = breaks.At(bytes.substr(at));
        if (line_break == 0 || (line_break == breaks.lf.size() && bytes.substr(0, at).ends_with(breaks.cr))) {
            return std::nullopt;
        }
        at += line_break;
    }
    return at;
}

// The length of a line break and the text that `bytes` ends with, no further back than `earliest`.
std::optional<std::size_t> MatchTailEnding(std::string_view bytes, std::size_t earliest,
                                           const CarriedText::Pieces& pieces, const LineBreak& breaks) {
    std::size_t at = bytes.size();
    for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece) {
        if (!bytes.substr(0, at).ends_with(*piece)) {
            return std::nullopt;
        }
        at -= piece->size();
        const std::size_t line_break = breaks.Before(bytes.substr(0, at));
        if (line_break == 0) {
            return std::nullopt;
        }
        at -= line_break;
    }
    if (at < earliest) {
        return std::nullopt;
    }
    return bytes.size() - at;
}

// The tail at the very end, or else before one more line break.
std::optional<std::size_t> MatchTail(std::string_view bytes, std::size_t earliest, const CarriedText::Pieces& pieces,
                                     const LineBreak& breaks) {
    if (const auto plain = MatchTailEnding(bytes, earliest, pieces, breaks)) {
        return plain;
    }
    const std::size_t extra = breaks.Before(bytes);
    if (extra == 0) {
        return std::nullopt;
    }
    const auto before = MatchTailEnding(bytes.substr(0, bytes.size() - extra), earliest, pieces, breaks);
    return before ? std::optional(*before + extra) : std::nullopt;
}

std::optional<FileEncoding> FormOf(const CarriedText& text, FileEncoding encoding, bool marked) {
    return marked || text.tells_ansi_from_utf8() ? std::optional(encoding) : std::nullopt;
}

std::uint64_t LengthOf(const std::optional<CarriedPart>& part) {
    return part ? part->length : 0;
}

// Both texts as the file carries them in one encoding, the tail looked for only after the head.
struct FormMatch {
    std::optional<CarriedPart> head;
    std::optional<CarriedPart> tail;

    int found() const { return (head ? 1 : 0) + (tail ? 1 : 0); }
};

FormMatch MatchIn(FileEncoding encoding, const FileEnds& ends, std::size_t mark_length, bool marked,
                  const CarriedText& head, const CarriedText& tail) {
    FormMatch match;
    const LineBreak& breaks = LineBreakIn(encoding);
    if (head.blank()) {
        match.head = CarriedPart{};
    } else if (const auto& pieces = head.In(encoding)) {
        if (const auto length = MatchHead(ends.start.substr(mark_length), *pieces, breaks)) {
            match.head = CarriedPart{*length, FormOf(head, encoding, marked)};
        }
    }
    // The earliest start of the tail, counted within the end bytes.
    const std::uint64_t head_end = mark_length + LengthOf(match.head);
    const std::uint64_t end_offset = ends.size - ends.end.size();
    if (tail.blank()) {
        match.tail = CarriedPart{};
    } else if (const auto& pieces = tail.In(encoding); pieces && head_end <= ends.size) {
        const auto earliest = static_cast<std::size_t>(head_end > end_offset ? head_end - end_offset : 0);
        if (const auto length = MatchTail(ends.end, earliest, *pieces, breaks)) {
            match.tail = CarriedPart{*length, FormOf(tail, encoding, marked)};
        }
    }
    return match;
}

}  // namespace

CarriedText::CarriedText(std::u16string_view text) : blank_(text.empty()) {
    for (const FileEncoding encoding : kEncodings) {
        Pieces pieces;
        std::size_t bytes = 0;
        bool encodable = true;
        for (std::size_t from = 0; encodable;) {
            const std::size_t to = std::min(text.find(u"\r\n", from), text.size());
            auto piece = EncodeText(text.substr(from, to - from), encoding);
            encodable = piece.has_value();
            if (encodable) {
                bytes += piece->size();
                pieces.push_back(std::move(*piece));
            }
            if (to == text.size()) {
                break;
            }
            from = to + 2;
        }
        if (encodable) {
            const std::size_t unit = LineBreakIn(encoding).lf.size();
            most_bytes_ = std::max(most_bytes_, bytes + 2 * unit * (pieces.size() + 1));
            forms_[static_cast<std::size_t>(encoding)] = std::move(pieces);
        }
    }
    const auto& ansi = In(FileEncoding::Ansi);
    tells_ansi_from_utf8_ = !blank_ && ansi != In(FileEncoding::Utf8);
}

// Without a byte-order mark the form that carries more of the two texts wins, UTF-8 on a tie; a text it
// lacks may still be carried in the other form where it keeps clear of the first.
Carried FindCarried(const FileEnds& ends, const CarriedText& head, const CarriedText& tail) {
    Carried carried;
    const auto mark = FindByteOrderMark(ends.start);
    if (mark) {
        const FormMatch match = MatchIn(mark->encoding, ends, mark->length, true, head, tail);
        carried.head = match.head;
        carried.tail = match.tail;
        return carried;
    }
    const FormMatch utf8 = MatchIn(FileEncoding::Utf8, ends, 0, false, head, tail);
    const FormMatch ansi = MatchIn(FileEncoding::Ansi, ends, 0, false, head, tail);
    const bool ansi_wins = ansi.found() > utf8.found();
    const FormMatch& best = ansi_wins ? ansi : utf8;
    const FormMatch& other = ansi_wins ? utf8 : ansi;
    carried.head = best.head;
    carried.tail = best.tail;
    if (!carried.head && other.head && other.head->length + LengthOf(carried.tail) <= ends.size) {
        carried.head = other.head;
    }
    if (!carried.tail && other.tail && other.tail->length + LengthOf(carried.head) <= ends.size) {
        carried.tail = other.tail;
    }
    return carried;
}
