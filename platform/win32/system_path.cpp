#include "platform/win32/system_path.h"

#include <windows.h>

namespace platform {
namespace {

constexpr std::wstring_view kLocalPrefix = L"\\\\?\\";
constexpr std::wstring_view kNetworkPrefix = L"\\\\?\\UNC\\";
constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";

}  // namespace

std::wstring FullPath(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) {
            return path;  // the system rejects it; the call that uses it reports why
        }
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.resize(length);  // the size needed, the terminating null included
    }
}

std::wstring SystemPath(const Path& path) {
    const std::wstring& text = path.native();
    if (text.starts_with(kLocalPrefix) || text.starts_with(kDevicePrefix)) {
        return text;
    }
    const std::wstring full = FullPath(text);
    if (full.starts_with(kLocalPrefix) || full.starts_with(kDevicePrefix)) {
        return full;
    }
    if (full.starts_with(L"\\\\")) {
        return std::wstring(kNetworkPrefix) + full.substr(2);
    }
    return std::wstring(kLocalPrefix) + full;
}

std::wstring SystemPathOfEntry(const Path& path) {
    const std::wstring& text = path.native();
    const auto separator = text.find_last_of(L"\\/");
    if (separator == std::wstring::npos) {
        return SystemPath(L".\\") + text;
    }
    return SystemPath(text.substr(0, separator + 1)) + text.substr(separator + 1);
}

}  // namespace platform
