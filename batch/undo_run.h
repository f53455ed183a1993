#pragma once

#include <functional>
#include <stop_token>
#include <vector>

#include "batch/batch_run.h"
#include "batch/run_outcome.h"

// Takes off what a run added, file by file in the run's order: each file that is still exactly as the run left
// it gets back its former bytes (the byte-order mark, then what stood between the head and the tail), put in
// place as the run puts a file in place. A file changed or gone since then is left alone and counted in
// RunOutcome::files_left; nothing is guessed. The outcome is Completed (files_done files restored), Stopped,
// or Failed like a run, and its `added` holds what is still to be taken off: after a failure, the file it
// stopped at and those after it. Progress is reported as a run reports it.
RunOutcome UndoAdded(const std::vector<AddedTexts>& added, const std::function<void(const BatchProgress&)>& progress,
                     std::stop_token stop = {});
