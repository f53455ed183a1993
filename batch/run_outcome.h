#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/file_system.h"
#include "platform/result.h"

// How a run ended, as a value: front ends choose what to show and how to end from its kind, and one function
// makes the window's text from it.

// What keeps the writer from rewriting a file, beside the system's own errors.
enum class WriteProblem {
    ChangedMeanwhile,    // the file changed since it was read
    HardLinked,          // the file has other names, which a rewrite would part from it
    Unencodable,         // the head or tail holds a character the file's encoding cannot
    GrewPastPrepared,    // larger than what may be prepared ahead: its turn rewrites it
    EncodingOverturned,  // the rest of the file overturned the encoding its start suggested
    Stopped,             // the run is ending
    OutOfResources,      // memory or a thread was refused
};

using Problem = std::variant<platform::Error, WriteProblem>;

template <typename T>
using WriteResult = platform::Result<T, Problem>;
using WriteStatus = platform::BasicStatus<Problem>;

enum class OutcomeKind {
    Completed,    // every collected file was rewritten or passed over
    Unconfirmed,  // as Completed, but the system could not confirm that the folder's new names are on disk
    NothingToDo,  // the folder holds no text file
    Refused,      // Start's checks of the folder path failed: nothing was locked or touched
    Failed,       // stopped by a failure; the files before it stay rewritten
    Stopped,      // stopped on request; the file in hand was left as it was
    ListRefused,  // files named one by one cannot all be used: nothing was written
};

enum class Refusal { NoPath, PathMissing };

// What a run added to one file it rewrote, for taking it off again: from `head_at` on, the file starts with
// `head_bytes` of head and ends with `tail_bytes` of tail, as long as it is still the file `stamp` describes.
struct AddedTexts {
    platform::Path path;
    std::uint64_t head_at = 0;  // the length of the byte-order mark, which stays in front
    std::uint64_t head_bytes = 0;
    std::uint64_t tail_bytes = 0;
    platform::FileStamp stamp{};  // of the file right after the run replaced it
};

// A file named one by one that refuses the whole run, and why.
struct RefusedFile {
    enum class Flaw { Missing, NotPlainFile, OutsideFolder, LookUpFailed };
    platform::Path name;  // as it was named
    Flaw flaw = Flaw::Missing;
    std::u16string system_text;  // for a failed lookup: the system's reason
};

struct RunOutcome {
    OutcomeKind kind = OutcomeKind::Completed;
    std::int64_t files_done = 0;  // rewritten (or, by an undo, restored)
    // Left as they were: the run's edit would not change them, or, for an undo, they changed since the run.
    std::int64_t files_left = 0;
    std::int64_t files_passed_over = 0;  // no longer normal files at their turn
    Refusal refusal = Refusal::NoPath;   // for a refused run
    std::vector<RefusedFile> refused{};  // for a refused list of files
    platform::Path where;                // for a failed or unconfirmed run: the file or folder concerned
    Problem problem;                     // for a failed or unconfirmed run: why
    // What is still on the files, in list order, for runs that note it: after a run, what it added to each
    // file it rewrote; after an undo, what it did not get to take off.
    std::vector<AddedTexts> added{};
};

// A count as the messages write it: decimal digits.
std::u16string CountText(std::int64_t count);

// A run stopped by `problem` at `where` after `files_done` files.
RunOutcome FailedRun(std::int64_t files_done, platform::Path where, Problem problem);

// Why the writer could not rewrite a file, as the failure report says it.
std::u16string ProblemText(const Problem& problem);

// The text the window shows for the outcome: a refusal, "任务完成！" or the report of a failure; nothing for
// a run with nothing to do or one that was stopped. Only the console program names files one by one, so
// their refusal is said in Chinese and English, one file a line.
std::optional<std::u16string> OutcomeText(const RunOutcome& outcome);
