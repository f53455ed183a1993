#include <windows.h>

#include <stdexcept>

#include "faults/fault_os.h"
#include "platform/win32/system_error.h"

std::filesystem::path HelperProgram(const std::string& name) {
    std::wstring own(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, own.data(), static_cast<DWORD>(own.size()));
        if (length < own.size()) {
            own.resize(length);
            break;
        }
        own.resize(own.size() * 2);
    }
    return std::filesystem::path(own).parent_path() / (name + ".exe");
}

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::filesystem::path>& arguments) {
    // Paths hold no quotes, so quoting each argument is enough for the child's command-line parser.
    std::wstring command = L"\"" + program.native() + L"\"";
    for (const auto& argument : arguments) {
        command += L" \"" + argument.native() + L"\"";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        throw std::runtime_error("cannot start a helper program");
    }
    CloseHandle(process.hThread);
    handle_ = reinterpret_cast<std::intptr_t>(process.hProcess);
    id_ = process.dwProcessId;
}

ChildProcess::~ChildProcess() {
    if (!waited_) {
        Kill();
        Wait();
    }
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool ChildProcess::Running() {
    if (waited_) {
        return false;
    }
    if (WaitForSingleObject(reinterpret_cast<HANDLE>(handle_), 0) == WAIT_TIMEOUT) {
        return true;
    }
    Wait();
    return false;
}

void ChildProcess::Kill() {
    if (!waited_) {
        TerminateProcess(reinterpret_cast<HANDLE>(handle_), 255);
    }
}

int ChildProcess::Wait() {
    if (!waited_) {
        WaitForSingleObject(reinterpret_cast<HANDLE>(handle_), INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(reinterpret_cast<HANDLE>(handle_), &code);
        waited_ = true;
        exit_code_ = static_cast<int>(code);
    }
    return exit_code_;
}

std::u16string DiskFullText() {
    return platform::SystemError(ERROR_DISK_FULL).text;
}

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

namespace {

HANDLE OpenForTimes(const std::filesystem::path& path, DWORD access) {
    const HANDLE file = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot open a file for its times");
    }
    return file;
}

}  // namespace

std::int64_t WriteTimeOf(const std::filesystem::path& path) {
    const HANDLE file = OpenForTimes(path, FILE_READ_ATTRIBUTES);
    FILETIME written{};
    const bool read = GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    if (!read) {
        throw std::runtime_error("cannot read a write time");
    }
    return static_cast<std::int64_t>((std::uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime);
}

void SetWriteTime(const std::filesystem::path& path, std::int64_t time) {
    const HANDLE file = OpenForTimes(path, FILE_WRITE_ATTRIBUTES);
    const FILETIME written{static_cast<DWORD>(time), static_cast<DWORD>(static_cast<std::uint64_t>(time) >> 32)};
    const bool set = SetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    if (!set) {
        throw std::runtime_error("cannot set a write time");
    }
}
