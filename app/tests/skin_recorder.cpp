// Stands in for the third-party skin library SkinH_VB6.dll: it records each call of its one entry point
// in "SkinH_VB6.calls" beside itself, every argument's bytes followed by a NUL, and applies no skin.
#include <windows.h>

#include <string>

namespace {

HMODULE self_module = nullptr;

void Append(HANDLE file, const char* text) {
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(std::char_traits<char>::length(text) + 1), &written, nullptr);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        self_module = instance;
    }
    return TRUE;
}

extern "C" __declspec(dllexport) int WINAPI SkinH_AttachEx(const char* skin_file, const char* extra) {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(self_module, path.data(), static_cast<DWORD>(path.size())));
    path.replace(path.find_last_of(L'\\') + 1, std::wstring::npos, L"SkinH_VB6.calls");
    const HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 0;
    }
    Append(file, skin_file);
    Append(file, extra);
    CloseHandle(file);
    return 1;
}
