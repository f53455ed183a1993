#include <windows.h>

#include <stdexcept>

#include "tests/support/fault_os.h"
#include "platform/win32/system_error.h"

namespace {

HANDLE InheritableOutput(const std::filesystem::path& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return path.empty()
               ? INVALID_HANDLE_VALUE
               : CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
}

// The test's own answer to the Ctrl+C it sends its children.
BOOL WINAPI GoOnAfterControl(DWORD) {
    return TRUE;
}

}  // namespace

std::filesystem::path ProgramBeside(const std::string& name) {
    std::wstring own(32768, L'\0');
    own.resize(GetModuleFileNameW(nullptr, own.data(), static_cast<DWORD>(own.size())));
    return std::filesystem::path(own).parent_path() / (name + ".exe");
}

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::filesystem::path>& arguments,
                           const std::filesystem::path& output, const std::filesystem::path& errors) {
    // No argument here holds a quote or ends in a backslash: quotes around each keep it whole.
    std::wstring command = L"\"" + program.native() + L"\"";
    for (const auto& argument : arguments) {
        command += L" \"" + argument.native() + L"\"";
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const bool redirected = !output.empty() || !errors.empty();
    if (redirected) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = INVALID_HANDLE_VALUE;
        startup.hStdOutput = InheritableOutput(output);
        startup.hStdError = InheritableOutput(errors);
    }
    // A console that the child shares, so that the Ctrl+C of AskToEnd reaches it (Wine turns it into a SIGINT
    // to the child). Wine, run without a terminal, gives the test a console that carries no Ctrl+C: the test
    // takes one of its own then, and its output still goes where it went.
    static const bool own_console = GetConsoleWindow() == nullptr && FreeConsole() && AllocConsole();
    (void)own_console;
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, redirected, 0, nullptr,
                                        nullptr, &startup, &process);
    for (const HANDLE file : {startup.hStdOutput, startup.hStdError}) {
        if (file != nullptr && file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
    }
    if (!started) {
        throw std::runtime_error("cannot start a program");
    }
    CloseHandle(process.hThread);
    handle_ = reinterpret_cast<std::intptr_t>(process.hProcess);
    id_ = process.dwProcessId;
}

ChildProcess::~ChildProcess() {
    Kill();
    Wait();
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool ChildProcess::Running() {
    if (!waited_ && WaitForSingleObject(reinterpret_cast<HANDLE>(handle_), 0) == WAIT_TIMEOUT) {
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

void ChildProcess::AskToEnd(int) {
    SetConsoleCtrlHandler(GoOnAfterControl, TRUE);  // once is enough; a second time changes nothing
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
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

// A console program writes to a file in the console's code page (the system's, without a console), with
// CR LF line ends.
std::u16string ConsoleText(const std::string& bytes) {
    const UINT code_page = GetConsoleOutputCP() != 0 ? GetConsoleOutputCP() : GetACP();
    std::wstring wide(bytes.size(), L'\0');
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(),
                                                             static_cast<int>(bytes.size()), wide.data(),
                                                             static_cast<int>(wide.size()))));
    std::u16string text(wide.begin(), wide.end());
    if (text.empty() && !bytes.empty()) {
        return u"<not in the console's code page>";
    }
    for (auto at = text.find(u"\r\n"); at != std::u16string::npos; at = text.find(u"\r\n", at)) {
        text.erase(at, 1);
    }
    return text;
}

std::u16string SystemText(int code) {
    return platform::SystemError(static_cast<DWORD>(code)).text;
}

std::int64_t WriteTimeOf(const std::filesystem::path& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return static_cast<std::int64_t>((std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                     data.ftLastWriteTime.dwLowDateTime);
}

void SetWriteTime(const std::filesystem::path& path, std::int64_t time) {
    const HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    const FILETIME written{static_cast<DWORD>(time), static_cast<DWORD>(static_cast<std::uint64_t>(time) >> 32)};
    const bool set = SetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    if (!set) {
        throw std::runtime_error("cannot set a write time");
    }
}
