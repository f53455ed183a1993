#include "batch/add_head_tail.h"

#include <algorithm>
#include <thread>

#include "batch/utf8_check.h"

namespace {

constexpr std::size_t kChunkSize = std::size_t{1} << 20;

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

HeadTailWriter::HeadTailWriter(const HeadTailTexts& texts, std::stop_token stop)
    : texts_(texts), stop_(std::move(stop)) {}

HeadTailWriter::HeadTailWriter(const HeadTailEdit& edit, std::stop_token stop)
    : texts_(edit.texts()), edit_(&edit), stop_(std::move(stop)) {}

// What the edit does to the file, from what its ends carry.
WriteResult<FileEdit> HeadTailWriter::EditFor(const platform::InputFile& input) {
    auto ends = ReadFileEnds(input, edit_->window(), ends_buffer_);
    if (!ends.ok()) {
        return ends.error();
    }
    return edit_->EditFor(ends.value());
}

const HeadTailWriter::Framing* HeadTailWriter::FramingFor(FileEncoding encoding) const {
    const auto& framing = texts_.For(encoding);
    return framing ? &*framing : nullptr;
}

// A byte-order mark decides. Without one, the file is UTF-8 when all of it is valid UTF-8 with at least
// one non-ASCII character, and ANSI otherwise; an empty file is ANSI. A head at the start and a tail at the end
// in this run's ANSI form are left out of that judgement: an earlier run added them to an ANSI file, and their
// bytes may be valid UTF-8 by chance ("尾" in code page 936 is CE B2, U+03B2 in UTF-8). The file's first chunk,
// `start`, settles it unless it is valid UTF-8 and more follows, while head and tail would differ in ANSI and
// UTF-8: then the answer is what the start suggests, and `pending` holds the check of the start, to be carried
// on over the rest of the file, which confirms the guess or overturns it.
platform::Result<FileEncoding> HeadTailWriter::GuessEncoding(const platform::InputFile& input, std::string_view start,
                                                             std::uint64_t size,
                                                             std::optional<PendingCheck>& pending) const {
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
    const std::uint64_t from = ansi && start.starts_with(ansi->before) ? ansi->before.size() : 0;
    auto to = ansi ? EndBeforeTail(input, start, from, size, ansi->after) : size;
    if (!to.ok()) {
        return to.error();
    }
    const auto fed_to = static_cast<std::size_t>(std::min<std::uint64_t>(start.size(), to.value()));
    Utf8Check check;
    check.Feed(start.substr(from, fed_to - from));
    if (!check.valid_so_far() || fed_to == to.value()) {
        return Verdict(check);
    }
    pending.emplace(PendingCheck{check, start.size(), to.value()});
    return check.saw_non_ascii() ? FileEncoding::Utf8 : FileEncoding::Ansi;  // a character may go on past the start
}

// Where the part of the file that decides its encoding ends: before `tail` when the file ends with it after
// the `from` bytes set aside at its start, else at its end.
platform::Result<std::uint64_t> HeadTailWriter::EndBeforeTail(const platform::InputFile& input, std::string_view start,
                                                              std::uint64_t from, std::uint64_t size,
                                                              std::string_view tail) {
    if (size - from < tail.size()) {
        return size;
    }
    std::string ending(start.substr(start.size() - std::min(start.size(), tail.size())));
    if (start.size() < size) {
        ending.resize(tail.size());
        const auto read = ReadFull(input, size - tail.size(), ending.data(), ending.size());
        if (!read.ok()) {
            return read.error();
        }
        ending.resize(read.value());
    }
    return ending == tail ? size - tail.size() : size;
}

FileEncoding HeadTailWriter::Verdict(const Utf8Check& check) {
    return check.Finish() && check.saw_non_ascii() ? FileEncoding::Utf8 : FileEncoding::Ansi;
}

// Carries the check on over the rest of the file, up to the pending end or the first byte that is not UTF-8;
// gives up when `cancel` asks it to.
WriteResult<FileEncoding> HeadTailWriter::CheckRest(const platform::InputFile& input, PendingCheck& pending,
                                                    std::stop_token cancel) {
    scan_buffer_.resize(kChunkSize);
    while (pending.check.valid_so_far() && pending.offset < pending.end) {
        if (stop_.stop_requested() || cancel.stop_requested()) {
            return WriteProblem::Stopped;
        }
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(kChunkSize, pending.end - pending.offset));
        auto read = input.ReadAt(pending.offset, scan_buffer_.data(), wanted);
        if (!read.ok()) {
            return read.error();
        }
        if (read.value() == 0) {
            break;
        }
        pending.check.Feed(std::string_view(scan_buffer_.data(), read.value()));
        pending.offset += read.value();
    }
    return Verdict(pending.check);
}

WriteResult<FileFate> HeadTailWriter::AddHeadTail(const platform::Path& path, const Progress& progress) {
    auto input = platform::OpenNormalFile(path);
    if (!input.ok()) {
        return input.error();
    }
    if (!input.value()) {
        return FileFate::PassedOver;
    }
    return AddHeadTail(path, std::move(*input.value()), progress);
}

WriteResult<FileFate> HeadTailWriter::AddHeadTail(const platform::Path& path, platform::InputFile input,
                                                  const Progress& progress) {
    auto prepared = PrepareOpened(std::move(input), path, progress, UINT64_MAX, false);
    if (!prepared.ok()) {
        return prepared.error();
    }
    if (!prepared.value().output) {
        return FileFate::LeftAsItWas;
    }
    if (stop_.stop_requested()) {
        return WriteProblem::Stopped;  // not put in place
    }
    // Publish only the copy of the very file that was read, unchanged since it was opened.
    const auto replaced = prepared.value().output->Replace(prepared.value().stamp);
    if (!replaced.ok()) {
        return replaced.error();
    }
    if (!replaced.value()) {
        return WriteProblem::ChangedMeanwhile;
    }
    NoteReplaced(prepared.value());
    return FileFate::Rewritten;
}

// The stamp is taken right after the replacement, so that an undo takes off these bytes only from this very
// version of the file. A file already gone again has nothing left to undo.
void HeadTailWriter::NoteReplaced(const PreparedFile& file) {
    if (added_ == nullptr) {
        return;
    }
    if (auto stamp = platform::StampOf(file.added.path); stamp.ok()) {
        added_->push_back(file.added);
        added_->back().stamp = stamp.value();
    }
}

WriteResult<PreparedFile> HeadTailWriter::Prepare(const platform::Path& path, const Progress& progress,
                                                  std::uint64_t max_size, bool nameless) {
    auto input = platform::InputFile::Open(path);
    if (!input.ok()) {
        return input.error();
    }
    return PrepareOpened(std::move(input.value()), path, progress, max_size, nameless);
}

WriteResult<PreparedFile> HeadTailWriter::PrepareOpened(platform::InputFile input, const platform::Path& path,
                                                        const Progress& progress, std::uint64_t max_size,
                                                        bool nameless) {
    std::optional<FileEncoding> known;
    for (;;) {
        std::optional<FileEncoding> overturned;
        auto prepared = PrepareAs(input, path, progress, max_size, nameless, known, overturned);
        if (!overturned) {
            return prepared;
        }
        known = overturned;  // rarely: the rest of the file overturned what its start suggested; once more
    }
}

WriteResult<PreparedFile> HeadTailWriter::PrepareAs(const platform::InputFile& input, const platform::Path& path,
                                                    const Progress& progress, std::uint64_t max_size, bool nameless,
                                                    std::optional<FileEncoding> known,
                                                    std::optional<FileEncoding>& overturned) {
    const platform::FileStamp stamp = input.stamp();
    const std::uint64_t size = stamp.size;
    if (size > max_size) {
        return WriteProblem::GrewPastPrepared;
    }
    FileEdit edit{.add_head = true, .add_tail = true};
    if (edit_ && edit_->reads_ends()) {
        auto decided = EditFor(input);
        if (!decided.ok()) {
            return decided.error();
        }
        edit = decided.value();
        if (!edit.changes()) {
            return PreparedFile{std::nullopt, stamp, {}};  // never opened for writing: every byte and its time stay
        }
    }
    if (stamp.links > 1) {
        return WriteProblem::HardLinked;  // a new file under one name would part it from the others
    }
    auto output = platform::ReplacementFile::CreateFor(path, input, nameless);
    if (!output.ok()) {
        return output.error();
    }

    // The buffer grows to one chunk as files need it: a small file costs no more memory than its size.
    const auto needed = static_cast<std::size_t>(std::min<std::uint64_t>(size, kChunkSize));
    buffer_.resize(std::max(buffer_.size(), needed));
    const std::size_t first_wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, buffer_.size()));
    const auto first = ReadFull(input, 0, buffer_.data(), first_wanted);
    if (!first.ok()) {
        return first.error();
    }
    if (first.value() != first_wanted) {
        return WriteProblem::ChangedMeanwhile;  // the file shrank since it was opened
    }
    const std::string_view start(buffer_.data(), first.value());
    // A file that carries a text in one form gets the other in that form too; nothing added, nothing to guess.
    const bool adds = edit.add_head || edit.add_tail;
    std::optional<PendingCheck> pending;
    FileEncoding encoding = known ? *known : edit.form.value_or(FileEncoding::Ansi);
    if (!known && !edit.form && adds) {
        auto guessed = GuessEncoding(input, start, size, pending);
        if (!guessed.ok()) {
            return guessed.error();
        }
        encoding = guessed.value();
    }
    const Framing* framing = FramingFor(encoding);
    if (!framing && pending) {  // the guess cannot hold the texts: settle it before anything is written
        const auto settled = CheckRest(input, *pending, {});
        if (!settled.ok()) {
            return settled.error();
        }
        encoding = settled.value();
        framing = FramingFor(encoding);
        pending.reset();
    }
    if (!framing && adds) {
        return WriteProblem::Unencodable;
    }
    const std::string_view before = edit.add_head ? std::string_view(framing->before) : "";
    const std::string_view after = edit.add_tail ? std::string_view(framing->after) : "";

    // The head goes after the byte-order mark, and the former content between the bytes taken off either end
    // follows it; a file that fits in one chunk is written in one piece.
    const auto mark = FindByteOrderMark(start);
    const std::size_t mark_length = mark ? mark->length : 0;
    const std::uint64_t body_end = size - edit.cut_tail;
    const std::uint64_t body_begin = std::min<std::uint64_t>(mark_length + edit.cut_head, body_end);
    const bool whole = start.size() >= body_end;
    const auto start_body_end = static_cast<std::size_t>(std::min<std::uint64_t>(start.size(), body_end));
    std::string piece;
    piece.reserve(start.size() + before.size() + (whole ? after.size() : 0));
    piece.append(start.substr(0, mark_length)).append(before);
    if (body_begin < start_body_end) {
        piece.append(start.substr(static_cast<std::size_t>(body_begin), start_body_end - body_begin));
    }
    if (whole) {
        piece.append(after);
    }
    if (auto written = output.value().Write(piece); !written.ok()) {
        return written.error();
    }
    if (progress) {
        progress(start.size());
    }
    // The rest of the check runs on another thread, beside the copy and its flush, so that it costs next to
    // no time; it gives up when this function returns early.
    WriteResult<FileEncoding> checked = encoding;
    std::optional<std::jthread> checker;
    if (pending) {
        checker.emplace([&](std::stop_token cancel) { checked = CheckRest(input, *pending, cancel); });
    }
    if (!whole) {
        const std::uint64_t from = std::max<std::uint64_t>(start.size(), body_begin);
        if (auto copied = CopyRest(input, from, body_end, output.value(), progress); !copied.ok()) {
            return copied.error();
        }
        if (auto written = output.value().Write(after); !written.ok()) {
            return written.error();
        }
    }
    if (checker) {
        if (auto flushed = output.value().Flush(); !flushed.ok()) {
            return flushed.error();
        }
        checker->join();
        if (!checked.ok()) {
            return checked.error();
        }
        if (checked.value() != encoding) {
            overturned = checked.value();
            return WriteProblem::EncodingOverturned;
        }
    }
    const AddedTexts added{path, mark_length, before.size(), after.size()};
    return PreparedFile{std::move(output.value()), stamp, added};
}

WriteStatus HeadTailWriter::CopyRest(const platform::InputFile& input, std::uint64_t offset, std::uint64_t size,
                                     platform::ReplacementFile& output, const Progress& progress) {
    bool in_system = true;  // until the system says it cannot copy between these files
    while (offset < size) {
        if (stop_.stop_requested()) {
            return WriteProblem::Stopped;
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
                return written.error();
            }
            copied = read.value();
        }
        if (copied != wanted) {
            return WriteProblem::ChangedMeanwhile;  // the file shrank while it was copied
        }
        offset += wanted;
        if (progress) {
            progress(offset);
        }
    }
    return {};
}
