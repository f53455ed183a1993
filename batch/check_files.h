#pragma once

#include <functional>

#include "batch/file_selection.h"
#include "batch/head_tail_texts.h"
#include "batch/run_outcome.h"
#include "platform/file_system.h"

// Tells, changing nothing, which of the files a run would rewrite lack the head or the tail. Reads only the
// first and the last bytes of each file, as many as the texts can take, never its body. Calls `lacking` with
// each such file in list order; files_done counts the files that carry both, files_left those that lack
// one, files_passed_over those that a run passes over (hidden, system, links, gone). The files are those
// `selection` takes, named relative to the folder when it chooses them. Stops at the first file that cannot
// be read, with a Failed outcome, and before any file when the selection cannot be made.
RunOutcome CheckFiles(const platform::Path& folder, const FileSelection& selection, const HeadTailTexts& texts,
                      const std::function<void(const platform::Path&)>& lacking);
