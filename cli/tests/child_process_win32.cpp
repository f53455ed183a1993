#include <windows.h>

#include <filesystem>

#include "child_process.h"
#include "tests/test_folder.h"

namespace {

// One argument quoted so that the child's command-line parser gives it back unchanged.
std::wstring Quoted(std::u16string_view argument) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const char16_t c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == u'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += static_cast<wchar_t>(c);
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// Text written for the console's code page, with CR LF line ends, back to UTF-16 with "\n".
std::u16string Decode(const std::string& bytes) {
    UINT code_page = GetConsoleOutputCP();
    if (code_page == 0) {
        code_page = GetACP();
    }
    if (bytes.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (size <= 0) {
        return u"<not in the console code page>";
    }
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(code_page, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), size);
    std::u16string text;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        if (wide[i] == L'\r' && i + 1 < wide.size() && wide[i + 1] == L'\n') {
            continue;
        }
        text += static_cast<char16_t>(wide[i]);
    }
    return text;
}

HANDLE InheritableOutput(const std::filesystem::path& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

CliRun RunCli(const std::vector<std::u16string>& arguments) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::filesystem::path cli = std::filesystem::path(self).parent_path() / L"varnotta-cli.exe";
    const std::wstring id = std::to_wstring(GetCurrentProcessId());
    const std::filesystem::path out_file = std::filesystem::temp_directory_path() / (L"cli-out-" + id);
    const std::filesystem::path err_file = std::filesystem::temp_directory_path() / (L"cli-err-" + id);

    std::wstring command_line = Quoted(cli.u16string());
    for (const std::u16string& argument : arguments) {
        command_line += L" " + Quoted(argument);
    }

    const HANDLE out = InheritableOutput(out_file);
    const HANDLE err = InheritableOutput(err_file);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    CliRun run;
    if (CreateProcessW(cli.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD status = 0;
        GetExitCodeProcess(process.hProcess, &status);
        run.exit_status = static_cast<int>(status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out);
    CloseHandle(err);
    run.raw_out = ReadBytes(out_file);
    run.out = Decode(run.raw_out);
    run.err = Decode(ReadBytes(err_file));
    std::filesystem::remove(out_file);
    std::filesystem::remove(err_file);
    return run;
}
