#include "batch/add_head_tail.h"

#include <algorithm>

#include "batch/messages.h"
#include "batch/trim.h"
#include "batch/utf8_check.h"

namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 20;
constexpr std::u16string_view kLineBreak = u"\r\n";

platform::Error OwnError(std::u16string_view text) {
    return platform::Error{0, std::u16string(text), {}};
}

// Reads `wanted` bytes from `offset` on, or fewer where the file ends sooner.
platform::Result<std::size_t> ReadFull(const platform::InputFile& input, std::uint64_t offset, char* buffer,
                                       std::size_t wanted) {
    std::size_t filled = 0;
    while (filled < wanted) {
        auto read = input.ReadAt(offset + filled, buffer + filled, wanted - filled);
        if (!read.ok()) {
            return read.error();
        }
        if (read.value() == 0) {
            break;
        }
        filled += read.value();
    }
    return filled;
}

}  // namespace

HeadTailWriter::HeadTailWriter(std::u16string_view head, std::u16string_view tail, std::stop_token stop)
    : head_(TrimSpaces(head)), tail_(TrimSpaces(tail)), stop_(std::move(stop)) {}

const HeadTailWriter::Framing* HeadTailWriter::FramingFor(FileEncoding encoding) {
    auto& slot = framings_[static_cast<std::size_t>(encoding)];
    if (!slot) {
        const std::u16string before = head_.empty() ? u"" : head_ + std::u16string(kLineBreak);
        const std::u16string after = tail_.empty() ? u"" : std::u16string(kLineBreak) + tail_;
        auto encoded_before = EncodeText(before, encoding);
        auto encoded_after = EncodeText(after, encoding);
        slot.emplace();
        if (encoded_before && encoded_after) {
            *slot = Framing{std::move(*encoded_before), std::move(*encoded_after)};
        }
    }
    return *slot ? &**slot : nullptr;
}

// A byte-order mark decides. Without one, the file is UTF-8 when all of it is valid UTF-8 with at least
// one non-ASCII character, and ANSI otherwise; an empty file is ANSI.
platform::Result<FileEncoding> HeadTailWriter::ChooseEncoding(const platform::InputFile& input, std::string_view start,
                                                              std::uint64_t size) {
    if (const auto mark = FindByteOrderMark(start)) {
        return mark->encoding;
    }
    if (size == 0) {
        return FileEncoding::Ansi;
    }
    const Framing* ansi = FramingFor(FileEncoding::Ansi);
    const Framing* utf8 = FramingFor(FileEncoding::Utf8);
    if (ansi && utf8 && *ansi == *utf8) {
        return FileEncoding::Ansi;  // the same bytes either way: no need to read the whole file first
    }
    Utf8Check check;
    check.Feed(start);
    scan_buffer_.resize(kChunkSize);
    for (std::uint64_t offset = start.size(); check.valid_so_far() && offset < size;) {
        auto read = input.ReadAt(offset, scan_buffer_.data(), scan_buffer_.size());
        if (!read.ok()) {
            return read.error();
        }
        if (read.value() == 0) {
            break;
        }
        check.Feed(std::string_view(scan_buffer_.data(), read.value()));
        offset += read.value();
    }
    return check.Finish() && check.saw_non_ascii() ? FileEncoding::Utf8 : FileEncoding::Ansi;
}

std::uint64_t HeadTailWriter::MostAdded() const {
    // Four bytes for each UTF-16 unit at most (UTF-32), the two line breaks included.
    return 4 * (std::uint64_t{head_.size()} + tail_.size() + 2 * kLineBreak.size());
}

platform::Status HeadTailWriter::AddHeadTail(const platform::Path& path, const Progress& progress) {
    auto prepared = Prepare(path, progress);
    if (!prepared.ok()) {
        return prepared.error();
    }
    if (stop_.stop_requested()) {
        return OwnError(u"");  // not put in place: the run is ending
    }
    // Publish only the copy of the very file that was read, unchanged since it was opened.
    const auto replaced = prepared.value().output.Replace(prepared.value().stamp);
    if (!replaced.ok()) {
        return replaced.error();
    }
    if (!replaced.value()) {
        return OwnError(messages::kChangedMeanwhile);
    }
    return {};
}

platform::Result<PreparedFile> HeadTailWriter::Prepare(const platform::Path& path, const Progress& progress,
                                                       std::uint64_t max_size, bool nameless) {
    std::optional<platform::InputFile> input;
    if (auto opened = platform::InputFile::Open(path); opened.ok()) {
        input.emplace(std::move(opened.value()));
    } else {
        return opened.error();
    }
    const platform::FileStamp stamp = input->stamp();
    if (stamp.links > 1) {
        return OwnError(messages::kHardLinked);  // a new file under one name would part it from the others
    }
    const std::uint64_t size = stamp.size;
    if (size > max_size) {
        return OwnError(u"");  // grown since it was listed: its turn rewrites it
    }
    auto output = platform::ReplacementFile::CreateFor(path, *input, nameless);
    if (!output.ok()) {
        return output.error();
    }

    // The buffer grows to one chunk as files need it: a small file costs no more memory than its size.
    const auto needed = static_cast<std::size_t>(std::min<std::uint64_t>(size, kChunkSize));
    buffer_.resize(std::max(buffer_.size(), needed));
    const std::size_t first_wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, buffer_.size()));
    const auto first = ReadFull(*input, 0, buffer_.data(), first_wanted);
    if (!first.ok()) {
        return first.error();
    }
    if (first.value() != first_wanted) {
        return OwnError(messages::kChangedMeanwhile);  // the file shrank since it was opened
    }
    const std::string_view start(buffer_.data(), first.value());
    const auto encoding = ChooseEncoding(*input, start, size);
    if (!encoding.ok()) {
        return encoding.error();
    }
    const Framing* framing = FramingFor(encoding.value());
    if (!framing) {
        return OwnError(messages::kUnencodable);
    }

    // The head goes after the byte-order mark; a file that fits in one chunk is written in one piece.
    const auto mark = FindByteOrderMark(start);
    const std::size_t mark_length = mark ? mark->length : 0;
    const bool whole = start.size() == size;
    std::string piece;
    piece.reserve(start.size() + framing->before.size() + (whole ? framing->after.size() : 0));
    piece.append(start.substr(0, mark_length)).append(framing->before).append(start.substr(mark_length));
    if (whole) {
        piece.append(framing->after);
    }
    if (auto written = output.value().Write(piece); !written.ok()) {
        return written.error();
    }
    if (progress) {
        progress(start.size());
    }
    if (!whole) {
        if (auto copied = CopyRest(*input, start.size(), size, output.value(), progress); !copied.ok()) {
            return copied.error();
        }
        if (auto written = output.value().Write(framing->after); !written.ok()) {
            return written.error();
        }
    }
    return PreparedFile{std::move(output.value()), stamp};  // the file closes here: Windows replaces no open file
}

platform::Status HeadTailWriter::CopyRest(const platform::InputFile& input, std::uint64_t offset, std::uint64_t size,
                                          platform::ReplacementFile& output, const Progress& progress) {
    bool in_system = true;  // until the system says it cannot copy between these files
    while (offset < size) {
        if (stop_.stop_requested()) {
            return OwnError(u"");  // the run is ending: the caller says nothing of this file
        }
        const std::uint64_t wanted = std::min<std::uint64_t>(buffer_.size(), size - offset);
        std::uint64_t copied = 0;
        if (in_system) {
            const auto result = output.CopyFrom(input, offset, wanted);
            if (!result.ok()) {
                return result.error();
            }
            in_system = result.value().has_value();
            if (!in_system) {
                continue;
            }
            copied = *result.value();
        } else {
            const auto read = ReadFull(input, offset, buffer_.data(), static_cast<std::size_t>(wanted));
            if (!read.ok()) {
                return read.error();
            }
            if (auto written = output.Write(std::string_view(buffer_.data(), read.value())); !written.ok()) {
                return written;
            }
            copied = read.value();
        }
        if (copied != wanted) {
            return OwnError(messages::kChangedMeanwhile);  // the file shrank while it was copied
        }
        offset += wanted;
        if (progress) {
            progress(offset);
        }
    }
    return {};
}
