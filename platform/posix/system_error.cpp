#include "platform/posix/system_error.h"

#include <cstring>

#include "platform/unicode.h"

namespace platform {

Error SystemError(int error_number) {
    char buffer[256];
    // The GNU strerror_r may return a static text instead of filling the buffer.
    const char* text = strerror_r(error_number, buffer, sizeof buffer);
    return Error{static_cast<std::uint32_t>(error_number), Utf8ToUtf16Lenient(text), {}};
}

}  // namespace platform
