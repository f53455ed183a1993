#include "platform/console.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/unicode.h"

namespace platform {
namespace {

int DescriptorOf(ConsoleStream stream) {
    return stream == ConsoleStream::Output ? STDOUT_FILENO : STDERR_FILENO;
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

}  // namespace platform
