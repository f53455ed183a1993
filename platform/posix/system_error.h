#pragma once

#include "platform/result.h"

namespace platform {

// The error for an errno value, with the system's text for it.
Error SystemError(int error_number);

}  // namespace platform
