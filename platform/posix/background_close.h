#pragma once

#include "platform/posix/unique_fd.h"

namespace platform {

// Closes descriptors on a thread of its own. The last close of a file whose name is gone frees it: its
// blocks go back to the file system, which may wait for the disk to discard them. A run need not wait for
// that between one file and the next. When too many are waiting, the caller closes its own.
void CloseInBackground(UniqueFd fd);

// Waits until every descriptor handed over so far is closed; whether there were any.
bool FinishBackgroundCloses();

}  // namespace platform
