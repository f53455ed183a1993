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
};

using Problem = std::variant<platform::Error, WriteProblem>;

template <typename T>
using WriteResult = platform::Result<T, Problem>;
using WriteStatus = platform::BasicStatus<Problem>;

enum class OutcomeKind {
    Completed,    // every collected file was rewritten or passed over
    NothingToDo,  // the folder holds no text file
    Refused,      // Start's checks of the folder path failed: nothing was locked or touched
    Failed,       // stopped by a failure; the files before it stay rewritten
    Stopped,      // stopped on request; the file in hand was left as it was
    ListRefused,  // files named one by one cannot all be used: nothing was written
};

enum class Refusal { NoPath, PathMissing };

// A file named one by one that refuses the whole run, and why.
struct RefusedFile {
    enum class Flaw { Missing, NotPlainFile, OutsideFolder, LookUpFailed };
    platform::Path name;  // as it was named
    Flaw flaw = Flaw::Missing;
    std::u16string system_text;  // for a failed lookup: the system's reason
};

struct RunOutcome {
    OutcomeKind kind = OutcomeKind::Completed;
    std::int64_t files_done = 0;
    Refusal refusal = Refusal::NoPath;   // for a refused run
    std::vector<RefusedFile> refused{};  // for a refused list of files
    platform::Path where;                // for a failed run: the file or folder it stopped at
    Problem problem;                     // for a failed run: why
};

// The text the window shows for the outcome: a refusal, "任务完成！" or the report of a failure; nothing for
// a run with nothing to do or one that was stopped. Only the console program names files one by one, so
// their refusal is said in Chinese and English, one file a line.
std::optional<std::u16string> OutcomeText(const RunOutcome& outcome);
