#include "batch/head_tail_edit.h"

#include <algorithm>

namespace {

constexpr std::size_t kLongestMark = 4;

// What happens to one end of a file: bytes taken off, and whether the new text goes on.
struct EndEdit {
    std::size_t cut = 0;
    bool add = false;
};

}  // namespace

HeadTailEdit::HeadTailEdit(RunMode mode, const HeadTailTexts& texts, const std::optional<HeadTailTexts>& old_texts)
    : mode_(mode),
      texts_(texts),
      swap_(old_texts.has_value()),
      head_(texts.head()),
      tail_(texts.tail()),
      old_head_(old_texts ? old_texts->head() : u""),
      old_tail_(old_texts ? old_texts->tail() : u"") {
    window_ = kLongestMark +
              std::max({head_.most_bytes(), tail_.most_bytes(), old_head_.most_bytes(), old_tail_.most_bytes()});
}

FileEdit HeadTailEdit::EditFor(const FileEnds& ends) const {
    FileEdit edit;
    if (!reads_ends()) {
        edit.add_head = !head_.blank();
        edit.add_tail = !tail_.blank();
        return edit;
    }
    const Carried now = FindCarried(ends, head_, tail_);
    const Carried old = swap_ ? FindCarried(ends, old_head_, old_tail_) : Carried{};
    // A text that is there already stays as it is; in a swap, the old text gives way to the new one.
    const auto edit_end = [&](const std::optional<CarriedPart>& present, const std::optional<CarriedPart>& former,
                              const CarriedText& text) {
        EndEdit end;
        if (mode_ == RunMode::Remove) {
            end.cut = present ? present->length : 0;
        } else if (!(present && !text.blank())) {
            end.cut = former ? former->length : 0;
            end.add = !text.blank() && (former || mode_ == RunMode::MissingOnly);
        }
        return end;
    };
    const EndEdit head = edit_end(now.head, old.head, head_);
    const EndEdit tail = edit_end(now.tail, old.tail, tail_);
    edit = FileEdit{head.cut, tail.cut, head.add, tail.add, std::nullopt};
    for (const auto* part : {&old.head, &old.tail, &now.head, &now.tail}) {
        if (!edit.form && *part && (*part)->form) {
            edit.form = (*part)->form;
        }
    }
    return edit;
}

bool HeadTailEdit::CarriesBoth(const FileEnds& ends) const {
    const Carried now = FindCarried(ends, head_, tail_);
    return now.head && now.tail;
}

WriteResult<FileEnds> ReadFileEnds(const platform::InputFile& input, std::size_t window, std::string& buffer) {
    const std::uint64_t size = input.stamp().size;
    // Never the body between the two ends: a file no longer than both of them together, or than one page,
    // which costs no more to read than a part of it, is read in one piece.
    constexpr std::uint64_t kPage = 4096;
    const bool whole = size <= std::max(2 * static_cast<std::uint64_t>(window), kPage);
    const std::size_t first = whole ? static_cast<std::size_t>(size) : window;
    buffer.resize(whole ? first : 2 * window);
    const auto read_at = [&](std::uint64_t offset, char* into, std::size_t wanted) -> WriteStatus {
        for (std::size_t filled = 0; filled < wanted;) {
            auto read = input.ReadAt(offset + filled, into + filled, wanted - filled);
            if (!read.ok()) {
                return read.error();
            }
            if (read.value() == 0) {
                return WriteProblem::ChangedMeanwhile;  // the file shrank since it was opened
            }
            filled += read.value();
        }
        return {};
    };
    if (auto read = read_at(0, buffer.data(), first); !read.ok()) {
        return read.error();
    }
    if (whole) {
        return FileEnds{buffer, buffer, size};
    }
    if (auto read = read_at(size - window, buffer.data() + window, window); !read.ok()) {
        return read.error();
    }
    const std::string_view both(buffer);
    return FileEnds{both.substr(0, window), both.substr(window), size};
}
