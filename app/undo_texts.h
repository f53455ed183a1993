#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "batch/run_outcome.h"

// The texts of the window's undo of the last run.

inline constexpr char16_t kUndoItem[] = u"撤销上次添加(&U)";

// The question asked before an undo of what the last run added to `files` files.
std::u16string UndoQuestion(std::size_t files);

// The text the window shows when an undo has ended: done, with the count of files left alone when there are
// any, or the report of a failure as a run gives it; nothing for an undo stopped by the program's end.
std::optional<std::u16string> UndoOutcomeText(const RunOutcome& outcome);
