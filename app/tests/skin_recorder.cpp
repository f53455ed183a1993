// Stands in for the third-party skin library SkinH_VB6.dll: it records each call of its one entry point
// in "SkinH_VB6.calls" beside itself, every argument's bytes followed by a NUL, and applies no skin.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

extern "C" __declspec(dllexport) int WINAPI SkinH_AttachEx(const char* skin_file, const char* extra) {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(GetModuleHandleW(L"SkinH_VB6.dll"), path.data(), MAX_PATH));
    path.replace(path.find_last_of(L'\\') + 1, std::wstring::npos, L"SkinH_VB6.calls");
    FILE* const calls = _wfopen(path.c_str(), L"ab");
    if (calls == nullptr) {
        return 0;
    }
    fwrite(skin_file, 1, std::strlen(skin_file) + 1, calls);
    fwrite(extra, 1, std::strlen(extra) + 1, calls);
    return fclose(calls) == 0;
}
