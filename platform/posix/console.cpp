#include "platform/console.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/system_error.h"
#include "platform/unicode.h"

namespace platform {
namespace {

int DescriptorOf(ConsoleStream stream) {
    return stream == ConsoleStream::Output ? STDOUT_FILENO : STDERR_FILENO;
}

// Reads `fd` until its end.
Result<std::string> ReadToEnd(int fd) {
    std::string content;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return SystemError(errno);
        }
        if (n == 0) {
            return content;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

bool IsTerminal(ConsoleStream stream) {
    return isatty(DescriptorOf(stream)) == 1;
}

void WriteConsoleText(ConsoleStream stream, std::u16string_view text, bool /*utf8: always*/) {
    const std::string bytes = Utf16ToUtf8Lenient(text);  // a damaged name must not cost the message
    const int fd = DescriptorOf(stream);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // a closed pipe or a full disk: nobody is left to tell
        }
        done += static_cast<std::size_t>(n);
    }
}

Result<std::string> ReadStandardInput() {
    return ReadToEnd(STDIN_FILENO);
}

}  // namespace platform
