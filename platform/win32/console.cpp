#include "platform/console.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/system_error.h"

namespace platform {
namespace {

HANDLE HandleOf(ConsoleStream stream) {
    return GetStdHandle(stream == ConsoleStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

void WriteBytes(HANDLE handle, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD size = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        if (!WriteFile(handle, bytes.data() + done, size, &written, nullptr) || written == 0) {
            return;
        }
        done += written;
    }
}

// Reads `handle` until its end, which a pipe signals by breaking once its writer has closed it.
Result<std::string> ReadToEnd(HANDLE handle) {
    std::string content;
    char buffer[64 * 1024];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(handle, buffer, sizeof buffer, &read, nullptr)) {
            if (GetLastError() == ERROR_BROKEN_PIPE) {
                return content;
            }
            return LastError();
        }
        if (read == 0) {
            return content;
        }
        content.append(buffer, read);
    }
}

}  // namespace

bool IsTerminal(ConsoleStream stream) {
    return IsConsole(HandleOf(stream));
}

void WriteConsoleText(ConsoleStream stream, std::u16string_view text, bool utf8) {
    const HANDLE handle = HandleOf(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty()) {
        return;
    }
    if (IsConsole(handle)) {
        // The console takes UTF-16 directly, whatever its code page: Chinese shows on every system.
        std::size_t done = 0;
        while (done < text.size()) {
            DWORD written = 0;
            const DWORD size = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 8192));
            if (!WriteConsoleW(handle, text.data() + done, size, &written, nullptr) || written == 0) {
                return;
            }
            done += written;
        }
        return;
    }
    // Redirected to a file or a pipe: the console's code page, so that another console program shows it, and
    // the CR LF line ends that Windows text files use.
    std::wstring wide;
    wide.reserve(text.size() + text.size() / 16);
    for (const char16_t c : text) {
        if (c == u'\n') {
            wide += L'\r';
        }
        wide += static_cast<wchar_t>(c);
    }
    UINT code_page = utf8 ? CP_UTF8 : GetConsoleOutputCP();
    if (code_page == 0) {
        code_page = GetACP();  // no console at all: the system's own code page
    }
    const int size =
        WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return;
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), size, nullptr, nullptr);
    WriteBytes(handle, bytes);
}

Result<std::string> ReadStandardInput() {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        return std::string();  // a program started without one reads nothing, as from NUL
    }
    return ReadToEnd(input);
}

}  // namespace platform
