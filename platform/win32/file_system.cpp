#include <windows.h>

#include <algorithm>
#include <atomic>

#include "platform/file_system.h"
#include "platform/seam.h"
#include "platform/win32/reparse_point.h"
#include "platform/win32/system_error.h"
#include "platform/win32/system_path.h"
#include "platform/win32/unique_handle.h"

namespace platform {
namespace {

using UniqueFind = UniqueHandle<HANDLE, &FindClose>;

// Virus scanners and indexers open files briefly without sharing; waiting them out beats failing.
constexpr DWORD kSharingRetryMilliseconds = 2000;
constexpr DWORD kSharingRetryPause = 50;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Lookup failures that only say there is no such entry; every other failure of a lookup is reported.
constexpr DWORD kNoSuchEntry[] = {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND};

// Wine's ReplaceFileW copies the folder's path into a MAX_PATH buffer and lets GetTempFileNameW add a name
// of up to 14 characters to it, which overruns the buffer from this length of the folder's path on.
constexpr std::size_t kFolderTooLongForReplaceFile = MAX_PATH - 14;

bool IsTransientSharingError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

std::atomic<bool> waits_abandoned{false};

// Calls `attempt`, which answers 0 or the error, until it succeeds, fails for another reason than sharing,
// or the time is up; answers the last error.
template <typename Attempt>
DWORD RetryWhileShared(Attempt&& attempt) {
    const ULONGLONG deadline = GetTickCount64() + kSharingRetryMilliseconds;
    for (;;) {
        const DWORD error = attempt();
        if (error == ERROR_SUCCESS || !IsTransientSharingError(error) || GetTickCount64() >= deadline ||
            waits_abandoned.load()) {
            return error;
        }
        Sleep(kSharingRetryPause);
    }
}

bool IsNoSuchEntry(DWORD error) {
    return std::find(std::begin(kNoSuchEntry), std::end(kNoSuchEntry), error) != std::end(kNoSuchEntry);
}

// Hidden and system entries never match; directories only with the directory mask; a link to a file is
// not a plain file.
bool MatchesMask(const WIN32_FIND_DATAW& entry, unsigned mask) {
    if (entry.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) {
        return false;
    }
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        return (mask & kDirectoryEntries) != 0;
    }
    return !IsLink(entry.dwFileAttributes, entry.dwReserved0);  // the reparse tag, for a reparse point
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

// Waits while another program has the file open without sharing its deletion, as C's fopen and most editors
// do, which blocks its replacement. An open that asks for nothing else waits, not failing replacements: those
// would leave Wine's empty "rf" files behind, and the file's stamp is only worth checking once it is free.
DWORD WaitUntilReplaceable(const std::wstring& path) {
    return RetryWhileShared([&] {
        const auto probe = Own(CreateFileW(path.c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING,
                                           FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return probe ? ERROR_SUCCESS : GetLastError();
    });
}

// In a folder whose path ReplaceFileW cannot take, one rename puts the new file in place instead. It keeps
// what matters: the original untouched until then, its attributes and its creation time, which the new file
// takes when it is flushed.
bool ReplacedByRename(const std::wstring& target) {
    return ParentFolder(target).size() - 1 >= kFolderTooLongForReplaceFile;  // less its final separator
}

// The stamp of the file behind `handle`.
Result<FileStamp> StampOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info;
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

// Opens the entry at `path`: a link itself, not what it leads to, but any other reparse point (a
// deduplicated, system-compressed or cloud file) through to its data, never its stub. Answers the error.
DWORD OpenEntry(const std::wstring& path, DWORD access, DWORD flags, UniqueKernelHandle& file) {
    file = Own(CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                           flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        return GetLastError();
    }
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag)) {
        return GetLastError();
    }
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 || IsLink(tag.FileAttributes, tag.ReparseTag)) {
        return ERROR_SUCCESS;
    }
    file = Own(CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr));
    return file ? ERROR_SUCCESS : GetLastError();
}

// The first entry matching `pattern`, already in the system's form, under `mask`.
Result<Path> FindMatching(const std::wstring& pattern, unsigned mask) {
    WIN32_FIND_DATAW data;
    HANDLE raw = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (raw == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (IsNoSuchEntry(error)) {
            return Path();
        }
        return SystemError(error);
    }
    const UniqueFind find(raw);
    do {
        if (MatchesMask(data, mask)) {
            return Path(data.cFileName);
        }
    } while (FindNextFileW(find.get(), &data));
    return Path();
}

}  // namespace

Result<Path> FindFirstEntry(const Path& pattern, unsigned mask) {
    std::wstring text = SystemPath(pattern);
    if (EndsWithSeparator(text)) {
        text += L'*';  // a folder path stands for its contents
    }
    return FindMatching(text, mask);
}

// Windows names cannot hold "*" or "?", so the lookup of a collected name never acts as a pattern.
Result<bool> IsNormalFile(const Path& path) {
    auto found = FindMatching(SystemPathOfEntry(path), kNormalEntries);
    if (!found.ok()) {
        return found.error();
    }
    return !found.value().empty();
}

// The listing carries every size: `sizes` saves nothing here.
Status ListFolder(const Path& folder, const std::function<void(const ListedEntry&)>& each, ListedSizes) {
    const std::wstring pattern = JoinPath(SystemPath(folder), L"*");
    WIN32_FIND_DATAW data;
    HANDLE raw = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                  FIND_FIRST_EX_LARGE_FETCH);
    if (raw == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) {
            return {};  // a drive root with no entries at all
        }
        return LastError();
    }
    const UniqueFind find(raw);
    do {
        const std::wstring_view name = data.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        const DWORD attributes = data.dwFileAttributes;
        each(ListedEntry{.name = name,
                         .size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
                         .folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                         .link = IsLink(attributes, data.dwReserved0),  // the reparse tag, for a reparse point
                         .hidden = (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0});
    } while (FindNextFileW(find.get(), &data));
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        return LastError();
    }
    return {};
}

Result<EntryFacts> LookUpEntry(const Path& path) {
    UniqueKernelHandle file;
    if (const DWORD error = OpenEntry(SystemPath(path), FILE_READ_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS, file)) {
        if (IsNoSuchEntry(error)) {
            return EntryFacts{};
        }
        return SystemError(error);
    }
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag)) {
        return LastError();
    }
    const auto stamp = StampOfHandle(file.get());
    if (!stamp.ok()) {
        return stamp.error();
    }
    const bool plain = IsPlainFile(tag.FileAttributes, tag.ReparseTag);
    return EntryFacts{plain ? EntryFacts::Kind::PlainFile : EntryFacts::Kind::Other, stamp.value().volume,
                      stamp.value().index, stamp.value().size};
}

Result<Path> ResolvedPath(const Path& path) {
    UniqueKernelHandle file = Own(CreateFileW(SystemPath(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        return LastError();
    }
    std::wstring resolved(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(file.get(), resolved.data(), static_cast<DWORD>(resolved.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            return LastError();
        }
        if (length < resolved.size()) {
            resolved.resize(length);
            return Path(resolved);
        }
        resolved.resize(length);  // the size needed, the terminating null included
    }
}

bool NamesIgnoreCase() {
    return true;
}

bool BackslashSeparates() {
    return true;
}

std::u16string FoldCase(std::u16string_view text) {
    if (text.empty()) {
        return {};
    }
    const std::wstring wide(text.begin(), text.end());
    std::wstring folded(wide.size(), L'\0');
    LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, wide.c_str(), static_cast<int>(wide.size()), folded.data(),
                 static_cast<int>(folded.size()));
    return std::u16string(folded.begin(), folded.end());
}

Result<FileStamp> StampOf(const Path& path) {
    UniqueKernelHandle file;
    if (const DWORD error =
            OpenEntry(SystemPathOfEntry(path), FILE_READ_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS, file)) {
        return SystemError(error);
    }
    return StampOfHandle(file.get());
}

// Windows has no open that refuses hidden and system files: the lookup comes first.
Result<std::optional<InputFile>> OpenNormalFile(const Path& path) {
    const auto normal = IsNormalFile(path);
    if (!normal.ok()) {
        return normal.error();
    }
    if (!normal.value()) {
        return std::optional<InputFile>();
    }
    auto opened = InputFile::Open(path);
    if (!opened.ok()) {
        return opened.error();
    }
    return std::optional<InputFile>(std::move(opened.value()));
}

// Windows opens a file by its full path in any case: the folder is kept as a path, and nothing is held open.
Result<OpenedFolder> OpenedFolder::Open(const Path& folder) {
    std::wstring path = folder.native();
    if (path.empty() || (path.back() != L'\\' && path.back() != L'/')) {
        path += L'\\';  // "C:" names the drive's root here, not its current folder
    }
    return OpenedFolder(-1, Path(std::move(path)));
}

OpenedFolder::OpenedFolder(OpenedFolder&& other) noexcept = default;
OpenedFolder& OpenedFolder::operator=(OpenedFolder&& other) noexcept = default;
OpenedFolder::~OpenedFolder() = default;

Result<std::optional<InputFile>> OpenedFolder::OpenNormalFile(std::wstring_view name) const {
    return platform::OpenNormalFile(Path(path_.native() + std::wstring(name)));
}

Result<InputFile> InputFile::Open(const Path& path) {
    const std::wstring system_path = SystemPathOfEntry(path);
    UniqueKernelHandle file;
    const DWORD error =
        RetryWhileShared([&] { return OpenEntry(system_path, GENERIC_READ, FILE_FLAG_SEQUENTIAL_SCAN, file); });
    if (error != ERROR_SUCCESS) {
        return SystemError(error);
    }
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag)) {
        return LastError();
    }
    if (!IsPlainFile(tag.FileAttributes, tag.ReparseTag)) {
        return SystemError(ERROR_ACCESS_DENIED);
    }
    const auto stamp = StampOfHandle(file.get());
    if (!stamp.ok()) {
        return stamp.error();
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

// Windows has no file without a name: every temporary file has one from the start.
Result<ReplacementFile> ReplacementFile::CreateFor(const Path& target, const InputFile& original, bool) {
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
        HANDLE handle = CreateFileW(SystemPathOfEntry(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
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
      flushed_(other.flushed_),
      settled_(std::exchange(other.settled_, true)) {}

ReplacementFile::~ReplacementFile() {
    Discard();
}

void ReplacementFile::Discard() {
    Close(std::exchange(handle_, 0));
    if (!settled_) {
        DeleteFileW(SystemPathOfEntry(temporary_).c_str());
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

Status ReplacementFile::Flush() {
    const std::wstring target = SystemPathOfEntry(target_);
    const auto file = Own(ToHandle(std::exchange(handle_, 0)));
    if (ReplacedByRename(target)) {
        WIN32_FILE_ATTRIBUTE_DATA original;
        if (!GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &original) ||
            !SetFileTime(file.get(), &original.ftCreationTime, nullptr, nullptr)) {
            return LastError();
        }
    }
    if (!FlushFileBuffers(file.get())) {
        return LastError();
    }
    flushed_ = true;
    return {};
}

Result<bool> ReplacementFile::Replace(const FileStamp& expected) {
    if (!flushed_) {
        if (auto flushed = Flush(); !flushed.ok()) {
            return flushed.error();
        }
    }
    const std::wstring target = SystemPathOfEntry(target_);
    const std::wstring temporary = SystemPathOfEntry(temporary_);
    if (const DWORD error = WaitUntilReplaceable(target)) {
        return SystemError(error);
    }
    WIN32_FILE_ATTRIBUTE_DATA original;
    if (!GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &original)) {
        return LastError();
    }
    // Windows merges the old file's attributes into the new one, Wine does not: give them over first.
    constexpr DWORD kKept =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD kept = original.dwFileAttributes & kKept;
    if (!SetFileAttributesW(temporary.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL)) {
        return LastError();
    }
    // As late as can be: what another program writes from here on until the call below is lost. The stamp's
    // change time moves with every change of the attributes too, so those read above still hold.
    const auto now = StampOf(target_);
    if (!now.ok()) {
        return now.error();
    }
    if (now.value() != expected) {
        return false;
    }
    if (ReplacedByRename(target)) {
        if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return LastError();  // the original is still in place; the temporary goes
        }
        settled_ = true;
        return true;
    }
    if (ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        settled_ = true;
        return true;
    }
    if (GetLastError() != ERROR_UNABLE_TO_MOVE_REPLACEMENT) {
        return LastError();  // the original is still in place; the temporary goes
    }
    // The original is gone and the new content lives only in the temporary file: never delete it.
    settled_ = true;
    if (MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    Error failure = LastError();
    failure.kept_copy = temporary_;
    return failure;
}

// Windows has no flush of a whole volume that an ordinary user may call.
std::optional<GroupFlush> GroupFlush::For(const Path&) {
    return std::nullopt;
}

GroupFlush::GroupFlush(GroupFlush&& other) noexcept
    : handle_(std::exchange(other.handle_, 0)), device_(other.device_), most_open_(other.most_open_) {}

GroupFlush::~GroupFlush() = default;

bool GroupFlush::Flush(std::span<ReplacementFile* const>) {
    return false;
}

// Windows frees a replaced file as the replacement happens.
bool FreeReplacedFiles() {
    return false;
}

bool IsOutOfSpace(const Error& error) {
    constexpr DWORD kDiskQuotaExceeded = 1295;  // ERROR_DISK_QUOTA_EXCEEDED, which MinGW's headers lack
    return error.code == ERROR_DISK_FULL || error.code == ERROR_HANDLE_DISK_FULL || error.code == kDiskQuotaExceeded;
}

void AbandonWaits() {
    waits_abandoned.store(true);
}

// NTFS journals its metadata; flushing a folder needs backup privileges and would add nothing here.
Status SyncFolder(const Path& folder) {
    seam::SyncingFolder(folder);
    return {};
}

std::optional<Path> PathFromText(std::u16string_view text) {
    return Path(std::wstring(text.begin(), text.end()));
}

std::u16string PathText(const Path& path) {
    const std::wstring& text = path.native();
    return std::u16string(text.begin(), text.end());
}

Result<std::string> ReadWholeFile(const Path& path, std::size_t most) {
    const HANDLE opened =
        CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    const UniqueKernelHandle file(opened);
    std::string content;
    char buffer[64 * 1024];
    for (;;) {
        DWORD read = 0;
        const auto wanted = static_cast<DWORD>(std::min(sizeof buffer, most + 1 - content.size()));
        if (!ReadFile(file.get(), buffer, wanted, &read, nullptr)) {
            return LastError();
        }
        content.append(buffer, read);
        if (read == 0 || content.size() > most) {
            return content;
        }
    }
}

}  // namespace platform
