#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string_view>
#include <vector>

#include "batch/head_tail_edit.h"
#include "batch/head_tail_texts.h"
#include "batch/run_outcome.h"
#include "batch/text_encoding.h"
#include "batch/utf8_check.h"
#include "platform/file_system.h"

// A file's new content, written to a temporary file beside it, ready to take its place.
struct PreparedFile {
    std::optional<platform::ReplacementFile> output;  // nothing: the run's edit leaves the file as it is
    platform::FileStamp stamp;  // of the file as it was read: only that file, unchanged, is replaced
    AddedTexts added;           // what the new content adds; its stamp is known once it is in place
};

// What became of a file the writer was given.
enum class FileFate { Rewritten, LeftAsItWas, PassedOver };

// Rewrites text files in place as: head, CR LF, the former content byte for byte, CR LF, tail. A blank
// head or tail is left out with its CR LF. Head and tail are written in the file's own encoding; the
// former content is copied, never decoded, so nothing in it can be altered.
class HeadTailWriter {
  public:
    using Progress = std::function<void(std::uint64_t bytes_copied)>;

    // Writes `texts`, which must outlive the writer. A stop requested through `stop` ends the copy in hand
    // with WriteProblem::Stopped.
    explicit HeadTailWriter(const HeadTailTexts& texts, std::stop_token stop = {});
    // Does what `edit` says to each file instead: takes texts off and adds them where a file's ends call for
    // it, and leaves a file that it would not change unopened for writing.
    HeadTailWriter(const HeadTailEdit& edit, std::stop_token stop);

    // From now on, what the writer adds to each file it replaces is appended to `added`, which must outlive it.
    void NoteAddedIn(std::vector<AddedTexts>* added) { added_ = added; }
    // Notes what a prepared file, just put in place by its caller, added.
    void NoteReplaced(const PreparedFile& file);

    // On failure the file is left as it was. A file that is no normal file (any more: gone, hidden, system, or
    // not a plain file) is passed over without being read.
    WriteResult<FileFate> AddHeadTail(const platform::Path& path, const Progress& progress);
    // The same for the file at `path`, opened as `input` by its caller.
    WriteResult<FileFate> AddHeadTail(const platform::Path& path, platform::InputFile input, const Progress& progress);

    // The first half of AddHeadTail: writes the new content of `path` to its temporary file, not yet flushed,
    // and leaves the file as it was; or answers no output when the edit would not change the file. Fails without
    // writing anything when the file holds more than `max_size` bytes. A `nameless` temporary file shows in the folder
    // only once it replaces the file (see ReplacementFile::CreateFor).
    WriteResult<PreparedFile> Prepare(const platform::Path& path, const Progress& progress,
                                      std::uint64_t max_size = UINT64_MAX, bool nameless = false);

  private:
    using Framing = HeadTailTexts::Framing;

    // The check for UTF-8 of a file whose encoding its start left open, done up to `offset`.
    struct PendingCheck {
        Utf8Check check;
        std::uint64_t offset;
        std::uint64_t end;  // where the part that decides ends: before a tail that an earlier run added
    };

    // Closes `input` before it answers: Windows replaces no open file.
    WriteResult<PreparedFile> PrepareOpened(platform::InputFile input, const platform::Path& path,
                                            const Progress& progress, std::uint64_t max_size, bool nameless);
    WriteResult<PreparedFile> PrepareAs(const platform::InputFile& input, const platform::Path& path,
                                        const Progress& progress, std::uint64_t max_size, bool nameless,
                                        std::optional<FileEncoding> known, std::optional<FileEncoding>& overturned);
    const Framing* FramingFor(FileEncoding encoding) const;
    platform::Result<FileEncoding> GuessEncoding(const platform::InputFile& input, std::string_view start,
                                                 std::uint64_t size, std::optional<PendingCheck>& pending) const;
    static platform::Result<std::uint64_t> EndBeforeTail(const platform::InputFile& input, std::string_view start,
                                                         std::uint64_t from, std::uint64_t size, std::string_view tail);
    static FileEncoding Verdict(const Utf8Check& check);
    WriteResult<FileEncoding> CheckRest(const platform::InputFile& input, PendingCheck& pending,
                                        std::stop_token cancel);
    WriteStatus CopyRest(const platform::InputFile& input, std::uint64_t offset, std::uint64_t size,
                         platform::ReplacementFile& output, const Progress& progress);

    WriteResult<FileEdit> EditFor(const platform::InputFile& input);

    const HeadTailTexts& texts_;
    const HeadTailEdit* edit_ = nullptr;  // nothing: both texts are added to every file
    std::stop_token stop_;
    std::string ends_buffer_;
    std::vector<char> buffer_;
    std::vector<char> scan_buffer_;
    std::vector<AddedTexts>* added_ = nullptr;
};
