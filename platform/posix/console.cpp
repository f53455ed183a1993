#include "platform/console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/posix/system_error.h"
#include "platform/unicode.h"

namespace platform {
namespace {

int DescriptorOf(ConsoleStream stream) {
    return stream == ConsoleStream::Output ? STDOUT_FILENO : STDERR_FILENO;
}

// Closes the descriptor when it goes out of scope.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The UTF-8 the terminal expects. An unpaired surrogate (a damaged file name) becomes U+FFFD rather than
// costing the whole message.
std::string Utf8Of(std::u16string_view text) {
    if (auto utf8 = Utf16ToUtf8(text)) {
        return std::move(*utf8);
    }
    std::u16string mended(text);
    for (std::size_t i = 0; i < mended.size(); ++i) {
        if (IsHighSurrogate(mended[i]) && i + 1 < mended.size() && IsLowSurrogate(mended[i + 1])) {
            ++i;
        } else if (IsHighSurrogate(mended[i]) || IsLowSurrogate(mended[i])) {
            mended[i] = 0xFFFD;
        }
    }
    return Utf16ToUtf8(mended).value_or(std::string());
}

}  // namespace

bool IsTerminal(ConsoleStream stream) {
    return isatty(DescriptorOf(stream)) == 1;
}

void WriteConsoleText(ConsoleStream stream, std::u16string_view text) {
    const std::string bytes = Utf8Of(text);
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

Result<std::string> ReadWholeFile(const Path& path) {
    const Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        return SystemError(errno);
    }
    std::string content;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = read(file.get(), buffer, sizeof buffer);
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

}  // namespace platform
