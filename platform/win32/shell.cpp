#include "platform/win32/shell.h"

#include <shellapi.h>
#include <shlobj.h>

#include <utility>

#include "platform/code_page.h"
#include "platform/win32/system_path.h"

namespace platform {
namespace {

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::u16string FromWide(const wchar_t* text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text));
}

void FreeItemList(PIDLIST_ABSOLUTE items) {
    CoTaskMemFree(items);
}
using UniqueItemList = UniqueHandle<PIDLIST_ABSOLUTE, &FreeItemList>;

void FreeArgumentList(wchar_t** arguments) {
    LocalFree(arguments);
}
using UniqueArgumentList = UniqueHandle<wchar_t**, &FreeArgumentList>;

// Called by the folder browser; `folder` is the start folder's path, handed over through the request.
int CALLBACK SelectStartFolder(HWND browser, UINT event, LPARAM, LPARAM folder) {
    if (event == BFFM_INITIALIZED && folder != 0) {
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, folder);
    }
    return 0;
}

// The skin library's entry point, as its makers declare it for Visual Basic: two ANSI strings, stdcall.
using AttachExFunction = int(WINAPI*)(const char* skin_file, const char* extra);

constexpr wchar_t kSkinLibraryName[] = L"SkinH_VB6.dll";

HMODULE LoadSkinModule() {
    HMODULE module =
        LoadLibraryExW(kSkinLibraryName, nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) {
        return module;
    }
    // Windows 7 without update KB2533623 has no safe search flags: ask for full paths instead.
    const std::u16string beside_program = ProgramFolder() + u"\\SkinH_VB6.dll";
    module = LoadLibraryExW(Wide(beside_program), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module != nullptr) {
        return module;
    }
    wchar_t system_folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system_folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    const std::u16string in_system = FromWide(system_folder) + u"\\SkinH_VB6.dll";
    return LoadLibraryExW(Wide(in_system), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The full path of a program in the Windows folder, such as explorer.exe.
std::wstring WindowsProgramPath(std::u16string_view command_line) {
    const std::u16string_view program = command_line.substr(0, command_line.find(u' '));
    wchar_t folder[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    return std::wstring(folder, length) + L'\\' + std::wstring(program.begin(), program.end()) + L".exe";
}

}  // namespace

void ShowMessageBox(HWND owner, std::u16string_view text, std::u16string_view title) {
    const std::u16string text_z(text), title_z(title);
    MessageBoxW(owner, Wide(text_z), Wide(title_z), MB_OK);
}

bool AskYesNo(HWND owner, std::u16string_view text, std::u16string_view title) {
    const std::u16string text_z(text), title_z(title);
    return MessageBoxW(owner, Wide(text_z), Wide(title_z), MB_YESNO) == IDYES;
}

std::optional<std::u16string> BrowseForFolder(HWND owner, std::u16string_view title, std::u16string_view start_folder) {
    const std::u16string title_z(title);
    const NamedEntry start = LookUpGivenPath(start_folder);
    BROWSEINFOW request{};
    request.hwndOwner = owner;
    request.lpszTitle = Wide(title_z);
    request.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    if (start.kind == EntryKind::Folder) {
        request.lpfn = &SelectStartFolder;
        request.lParam = reinterpret_cast<LPARAM>(start.full_path.c_str());
    }
    const UniqueItemList items(SHBrowseForFolderW(&request));
    if (!items) {
        return std::nullopt;
    }
    // Long enough for any path the shell can hand back, including \\?\ forms.
    std::wstring path(32768, L'\0');
    if (!SHGetPathFromIDListEx(items.get(), path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT)) {
        return std::nullopt;
    }
    return FromWide(path.c_str());
}

std::vector<std::u16string> ProgramArguments() {
    int count = 0;
    const UniqueArgumentList arguments(CommandLineToArgvW(GetCommandLineW(), &count));
    std::vector<std::u16string> result;
    for (int index = 1; arguments && index < count; ++index) {
        std::u16string argument = FromWide(arguments.get()[index]);
        // No path holds a quote: this one ended a path written with a closing backslash, as in "D:\", which the
        // splitting took for an escaped quote.
        if (const auto quote = argument.find(u'"'); quote != std::u16string::npos) {
            argument.resize(quote);
            argument += u'\\';
        }
        result.push_back(std::move(argument));
    }
    return result;
}

NamedEntry LookUpGivenPath(std::u16string_view path) {
    if (path.empty()) {
        return {};  // the current folder would stand for it
    }
    const std::wstring full = FullPath(std::wstring(path.begin(), path.end()));
    const DWORD attributes = GetFileAttributesW(SystemPath(full).c_str());
    const EntryKind kind = attributes == INVALID_FILE_ATTRIBUTES          ? EntryKind::Missing
                           : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Folder
                                                                          : EntryKind::File;
    return {FromWide(full.c_str()), kind};
}

void AcceptDroppedFiles(HWND window) {
    DragAcceptFiles(window, TRUE);
}

std::vector<std::u16string> TakeDroppedPaths(HDROP handle) {
    std::vector<std::u16string> paths;
    const UINT count = DragQueryFileW(handle, 0xFFFFFFFF, nullptr, 0);
    for (UINT index = 0; index < count; ++index) {
        std::wstring path(DragQueryFileW(handle, index, nullptr, 0) + 1, L'\0');
        path.resize(DragQueryFileW(handle, index, path.data(), static_cast<UINT>(path.size())));
        paths.push_back(FromWide(path.c_str()));
    }
    DragFinish(handle);
    return paths;
}

void LaunchCommandLine(std::u16string_view command_line, int show_style) {
    // Naming the program's file keeps CreateProcessW from looking for it in the current folder first,
    // where anyone who can write there could plant one.
    const std::wstring program = WindowsProgramPath(command_line);
    if (program.empty()) {
        return;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show_style);
    PROCESS_INFORMATION process{};
    std::wstring writable(command_line.begin(), command_line.end());  // CreateProcessW may write into it
    if (CreateProcessW(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
        const UniqueKernelHandle process_handle(process.hProcess), thread_handle(process.hThread);
    }
}

std::u16string ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto separator = path.find_last_of(L"\\/");
    path.resize(separator == std::wstring::npos ? 0 : separator);
    if (path.size() == 2 && path[1] == L':') {
        path += L'\\';  // a drive root keeps its separator: "C:" alone means the current folder on C
    }
    return FromWide(path.c_str());
}

SkinLibrary SkinLibrary::Load() {
    SkinLibrary library;
    UniqueModule module(LoadSkinModule());
    if (!module) {
        return library;
    }
    const FARPROC entry = GetProcAddress(module.get(), "SkinH_AttachEx");
    if (entry == nullptr) {
        return library;
    }
    library.attach_ex_ = reinterpret_cast<Entry>(entry);
    library.module_ = std::move(module);
    return library;
}

void SkinLibrary::AttachEx(std::u16string_view skin_file, std::u16string_view extra) {
    if (attach_ex_ == nullptr) {
        return;
    }
    const auto skin_file_ansi = EncodeAnsi(skin_file);
    const auto extra_ansi = EncodeAnsi(extra);
    if (!skin_file_ansi || !extra_ansi) {
        return;  // the library could not open a path it cannot be told
    }
    reinterpret_cast<AttachExFunction>(attach_ex_)(skin_file_ansi->c_str(), extra_ansi->c_str());
}

}  // namespace platform
