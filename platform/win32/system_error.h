#pragma once

#include <windows.h>

#include "platform/result.h"

namespace platform {

// The error for a GetLastError code, with the system's text for it.
Error SystemError(DWORD code);
inline Error LastError() {
    return SystemError(GetLastError());
}

}  // namespace platform
