// Another program that opens a file without sharing it, as virus scanners and indexers do, creates a
// marker file once it holds it, and lets go after a while. "none" shares nothing; "read" lets others go on
// reading (a file already open for reading cannot be taken otherwise) but neither writing nor deleting or
// replacing it.
// Usage: fault_holder FILE MARKER MILLISECONDS none|read

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <string>

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 5) {
        return 2;
    }
    const DWORD sharing = std::wstring(argv[4]) == L"read" ? FILE_SHARE_READ : 0;
    const HANDLE held = CreateFileW(argv[1], GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        return 3;
    }
    const HANDLE marker = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (marker == INVALID_HANDLE_VALUE) {
        return 4;
    }
    CloseHandle(marker);
    Sleep(static_cast<DWORD>(std::stoul(argv[3])));
    CloseHandle(held);
    LocalFree(argv);
    return 0;
}
