#include <windows.h>

#include <algorithm>
#include <atomic>

#include "platform/file_system.h"
#include "platform/win32/system_error.h"
#include "platform/win32/unique_handle.h"

namespace platform {
namespace {

using UniqueFind = UniqueHandle<HANDLE, &FindClose>;

// Virus scanners and indexers open files briefly without sharing; waiting them out beats failing.
constexpr DWORD kSharingRetryMilliseconds = 2000;
constexpr DWORD kSharingRetryPause = 50;

bool IsTransientSharingError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_UNABLE_TO_REMOVE_REPLACED;
}

// Calls `attempt` until it succeeds, fails for another reason than sharing, or the time is up.
template <typename Attempt>
bool RetryWhileShared(Attempt&& attempt) {
    const ULONGLONG deadline = GetTickCount64() + kSharingRetryMilliseconds;
    for (;;) {
        if (attempt()) {
            return true;
        }
        const DWORD error = GetLastError();
        if (!IsTransientSharingError(error) || GetTickCount64() >= deadline) {
            SetLastError(error);
            return false;
        }
        Sleep(kSharingRetryPause);
    }
}

// Errors that only say there is nothing at the path (or that the path cannot name anything).
bool IsNotFound(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
           error == ERROR_BAD_PATHNAME || error == ERROR_DIRECTORY || error == ERROR_NO_MORE_FILES ||
           error == ERROR_NOT_READY || error == ERROR_BAD_NETPATH || error == ERROR_FILENAME_EXCED_RANGE;
}

// Hidden and system entries never match; directories only with the directory mask; a link to a file is
// not a plain file.
bool MatchesMask(DWORD attributes, unsigned mask) {
    if (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) {
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return (mask & kDirectoryEntries) != 0;
    }
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool EndsWithSeparator(const std::wstring& path) {
    return !path.empty() && (path.back() == L'\\' || path.back() == L'/');
}

std::wstring JoinPath(const std::wstring& folder, const wchar_t* name) {
    return EndsWithSeparator(folder) ? folder + name : folder + L'\\' + name;
}

std::wstring ParentFolder(const std::wstring& path) {
    const auto separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? L"." : path.substr(0, separator + 1);
}

HANDLE ToHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// Keeps INVALID_HANDLE_VALUE out of the owning wrapper, which only knows null as empty.
UniqueKernelHandle Own(HANDLE handle) {
    return UniqueKernelHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

void Close(std::intptr_t handle) {
    Own(ToHandle(handle));
}

// The stamp of the file behind `handle`; `info` receives the rest of what the system says of it.
Result<FileStamp> StampOfHandle(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info) {
    FILE_BASIC_INFO times;
    if (!GetFileInformationByHandle(handle, &info) ||
        !GetFileInformationByHandleEx(handle, FileBasicInfo, &times, sizeof times)) {
        return LastError();
    }
    return FileStamp{info.dwVolumeSerialNumber,
                     (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
                     (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow,
                     info.nNumberOfLinks,
                     times.LastWriteTime.QuadPart,
                     times.ChangeTime.QuadPart};
}

}  // namespace

Result<Path> FindFirstEntry(const Path& pattern, unsigned mask) {
    std::wstring text = pattern.native();
    if (EndsWithSeparator(text)) {
        text += L'*';  // a folder path stands for its contents
    }
    WIN32_FIND_DATAW data;
    HANDLE raw = FindFirstFileExW(text.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (raw == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (IsNotFound(error)) {
            return Path();
        }
        return SystemError(error);
    }
    const UniqueFind find(raw);
    do {
        if (MatchesMask(data.dwFileAttributes, mask)) {
            return Path(data.cFileName);
        }
    } while (FindNextFileW(find.get(), &data));
    return Path();
}

Result<std::vector<Path>> ListFolderFiles(const Path& folder) {
    const std::wstring pattern = JoinPath(folder.native(), L"*");
    WIN32_FIND_DATAW data;
    HANDLE raw = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                  FIND_FIRST_EX_LARGE_FETCH);
    std::vector<Path> files;
    if (raw == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) {
            return files;  // a drive root with no entries at all
        }
        return LastError();
    }
    const UniqueFind find(raw);
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            files.emplace_back(JoinPath(folder.native(), data.cFileName));
        }
    } while (FindNextFileW(find.get(), &data));
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        return LastError();
    }
    return files;
}

Result<FileStamp> StampOf(const Path& path) {
    const auto file =
        Own(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        return LastError();
    }
    BY_HANDLE_FILE_INFORMATION info;
    return StampOfHandle(file.get(), info);
}

Result<InputFile> InputFile::Open(const Path& path) {
    HANDLE handle = INVALID_HANDLE_VALUE;
    const bool opened = RetryWhileShared([&] {
        handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        return handle != INVALID_HANDLE_VALUE;
    });
    if (!opened) {
        return LastError();
    }
    auto file = Own(handle);
    BY_HANDLE_FILE_INFORMATION info;
    const auto stamp = StampOfHandle(handle, info);
    if (!stamp.ok()) {
        return stamp.error();
    }
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) {
        return SystemError(ERROR_ACCESS_DENIED);  // not a plain file
    }
    return InputFile(reinterpret_cast<std::intptr_t>(file.release()), stamp.value());
}

InputFile::InputFile(InputFile&& other) noexcept : handle_(std::exchange(other.handle_, 0)), stamp_(other.stamp_) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    Close(std::exchange(handle_, std::exchange(other.handle_, 0)));
    stamp_ = other.stamp_;
    return *this;
}

InputFile::~InputFile() {
    Close(handle_);
}

Result<std::size_t> InputFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!ReadFile(ToHandle(handle_), buffer, wanted, &read, &position)) {
        if (GetLastError() == ERROR_HANDLE_EOF) {
            return std::size_t{0};
        }
        return LastError();
    }
    return std::size_t{read};
}

Result<ReplacementFile> ReplacementFile::CreateFor(const Path& target, const InputFile& original) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(ToHandle(original.handle_), &info)) {
        return LastError();
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
        return SystemError(ERROR_ACCESS_DENIED);
    }
    static std::atomic<unsigned> counter{0};
    const std::wstring folder = ParentFolder(target.native());
    for (;;) {
        std::wstring temporary = folder + L"~varnotta-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(counter++) + L".tmp";
        HANDLE handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) {
                continue;
            }
            return LastError();
        }
        return ReplacementFile(target, Path(std::move(temporary)), reinterpret_cast<std::intptr_t>(handle));
    }
}

ReplacementFile::ReplacementFile(Path target, Path temporary, std::intptr_t handle)
    : target_(std::move(target)), temporary_(std::move(temporary)), handle_(handle) {}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : target_(std::move(other.target_)),
      temporary_(std::move(other.temporary_)),
      handle_(std::exchange(other.handle_, 0)),
      settled_(std::exchange(other.settled_, true)) {}

ReplacementFile::~ReplacementFile() {
    Discard();
}

void ReplacementFile::Discard() {
    Close(std::exchange(handle_, 0));
    if (!settled_) {
        DeleteFileW(temporary_.c_str());
        settled_ = true;
    }
}

Status ReplacementFile::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (!WriteFile(ToHandle(handle_), bytes.data(), chunk, &written, nullptr)) {
            return LastError();
        }
        bytes.remove_prefix(written);
    }
    return {};
}

// Windows has no copy between two open files inside the system.
Result<std::optional<std::uint64_t>> ReplacementFile::CopyFrom(const InputFile&, std::uint64_t, std::uint64_t) {
    return std::optional<std::uint64_t>();
}

Result<bool> ReplacementFile::Replace(const FileStamp& expected) {
    {
        const auto file = Own(ToHandle(std::exchange(handle_, 0)));
        if (!FlushFileBuffers(file.get())) {
            return LastError();
        }
    }
    const auto now = StampOf(target_);
    if (!now.ok()) {
        return now.error();
    }
    if (now.value() != expected) {
        return false;
    }
    // Windows merges the old file's attributes into the new one, Wine does not: give them over first.
    const DWORD attributes = GetFileAttributesW(target_.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return LastError();
    }
    constexpr DWORD kKept =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD kept = attributes & kKept;
    if (!SetFileAttributesW(temporary_.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL)) {
        return LastError();
    }
    const bool replaced = RetryWhileShared([&] {
        return ReplaceFileW(target_.c_str(), temporary_.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                            nullptr) != FALSE;
    });
    if (replaced) {
        settled_ = true;
        return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
        return SystemError(error);  // the original is still in place; the temporary goes
    }
    // The original is gone and the new content lives only in the temporary file: never delete it.
    settled_ = true;
    if (MoveFileExW(temporary_.c_str(), target_.c_str(), MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    Error failure = LastError();
    failure.kept_copy = temporary_;
    return failure;
}

// NTFS journals its metadata; flushing a folder needs backup privileges and would add nothing here.
void SyncFolder(const Path&) {}

std::optional<Path> PathFromText(std::u16string_view text) {
    return Path(std::wstring(text.begin(), text.end()));
}

std::u16string PathText(const Path& path) {
    const std::wstring& text = path.native();
    return std::u16string(text.begin(), text.end());
}

}  // namespace platform
