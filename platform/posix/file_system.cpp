#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/posix/background_close.h"
#include "platform/posix/system_error.h"
#include "platform/posix/unique_fd.h"
#include "platform/seam.h"
#include "platform/unicode.h"

namespace platform {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

// Lookup failures that only say there is no such entry; every other failure of a lookup is reported.
constexpr int kNoSuchEntry[] = {ENOENT, ENOTDIR};

bool IsNoSuchEntry(int error) {
    return std::find(std::begin(kNoSuchEntry), std::end(kNoSuchEntry), error) != std::end(kNoSuchEntry);
}

// Names starting with "." are hidden; the folder's own "." and ".." entries are not.
bool IsHiddenName(std::string_view name) {
    return name.starts_with('.') && name != "." && name != "..";
}

// Whether the entry at `path` matches the attribute mask: hidden entries never do, regular files always
// do (read-only ones too), directories (a link to one included) only with the directory mask.
Result<bool> MatchesMask(const std::string& path, std::string_view name, unsigned mask) {
    if (IsHiddenName(name)) {
        return false;
    }
    struct stat entry;
    if (::lstat(path.c_str(), &entry) != 0) {
        if (IsNoSuchEntry(errno)) {
            return false;
        }
        return SystemError(errno);
    }
    if (S_ISREG(entry.st_mode)) {
        return true;
    }
    if ((mask & kDirectoryEntries) == 0) {
        return false;  // links, devices, pipes and sockets are never plain files
    }
    return S_ISDIR(entry.st_mode) ||
           (S_ISLNK(entry.st_mode) && ::stat(path.c_str(), &entry) == 0 && S_ISDIR(entry.st_mode));
}

std::string_view LastComponent(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : std::string_view(path).substr(slash + 1);
}

// Swaps the two names in one step; a failure for tests comes from the seam.
int ExchangeNames(const Path& first, const Path& second, seam::Call call) {
    if (const int failure = seam::FailureOf(call)) {
        errno = failure;
        return -1;
    }
    return ::renameat2(AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(), RENAME_EXCHANGE);
}

// Whether two stamps describe the same file with the same content, as far as its size and modification time
// tell.
bool SameVersion(const FileStamp& a, const FileStamp& b) {
    return a.volume == b.volume && a.index == b.index && a.size == b.size && a.modified == b.modified;
}

// Only "*" and "?" are wildcards; "[" and "\" match themselves, as they do in a Windows pattern.
std::string EscapeForFnmatch(std::string_view pattern) {
    std::string escaped;
    for (const char c : pattern) {
        if (c == '[' || c == '\\') {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

std::string JoinPath(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    return path.append(name);
}

FileStamp StampFrom(const struct stat& info) {
    return FileStamp{static_cast<std::uint64_t>(info.st_dev),
                     static_cast<std::uint64_t>(info.st_ino),
                     static_cast<std::uint64_t>(info.st_size),
                     static_cast<std::uint64_t>(info.st_nlink),
                     static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
                     static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec};
}

std::string ParentFolder(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The permission bits that creating a file with `mode` would lose to the process's umask.
bool UmaskWouldStrip(mode_t mode) {
    static const mode_t umask_bits = [] {
        const mode_t bits = ::umask(0);  // reading the umask means setting it: put it straight back
        ::umask(bits);
        return bits;
    }();
    return (mode & umask_bits) != 0;
}

// A name in `folder` for a temporary file, which no run collects: "~varnotta-<process>-<n>.tmp".
std::string TemporaryName(const std::string& folder) {
    static std::atomic<unsigned> counter{0};
    static const std::string prefix = "~varnotta-" + std::to_string(::getpid()) + "-";
    return JoinPath(folder, prefix + std::to_string(counter++) + ".tmp");
}

// Whether a file made without a name can be given one later, which an unprivileged program does through
// /proc (a link from the descriptor itself needs privileges).
bool CanNameLater() {
    static const bool can = ::access("/proc/self/fd", X_OK) == 0;
    return can;
}

// Whether syncfs reports the failures of the writes it waits for, which it does from Linux 5.8 on.
bool SyncfsReportsFailures() {
    static const bool reports = [] {
        utsname system;
        if (::uname(&system) != 0) {
            return false;
        }
        char* rest = nullptr;
        const long major = std::strtol(system.release, &rest, 10);
        const long minor = *rest == '.' ? std::strtol(rest + 1, nullptr, 10) : 0;
        return major > 5 || (major == 5 && minor >= 8);
    }();
    return reports;
}

// Local file systems whose syncfs writes back every file's data and commits it, as fsync would. Network and
// FUSE file systems are not among them: some flush nothing to the server on syncfs.
bool FlushesThroughSyncfs(const struct statfs& info) {
    constexpr unsigned long kExt = 0xEF53;  // ext2, ext3, ext4
    constexpr unsigned long kXfs = 0x58465342;
    constexpr unsigned long kBtrfs = 0x9123683E;
    constexpr unsigned long kTmpfs = 0x01021994;  // nothing to flush
    const auto type = static_cast<unsigned long>(info.f_type);
    return type == kExt || type == kXfs || type == kBtrfs || type == kTmpfs;
}

// The data in the page cache that waits to be written to any disk, in bytes; 0 when the system does not say.
std::uint64_t UnwrittenBytes() {
    const UniqueFd fd(::open("/proc/meminfo", O_RDONLY | O_CLOEXEC));
    char text[4096];
    const ssize_t length = fd.get() < 0 ? -1 : ::read(fd.get(), text, sizeof text - 1);
    if (length <= 0) {
        return 0;
    }
    text[length] = '\0';
    std::uint64_t kib = 0;
    for (const char* field : {"\nDirty:", "\nWriteback:"}) {
        if (const char* found = std::strstr(text, field)) {
            kib += std::strtoull(found + std::strlen(field), nullptr, 10);
        }
    }
    return kib * 1024;
}

// Opens the plain file `path`, relative to the folder `at`, for reading: its descriptor, which the caller
// owns, and its stamp. No link is followed, and a pipe put in the file's place cannot make the open wait.
Result<std::pair<int, FileStamp>> OpenPlainFileAt(int at, const char* path) {
    UniqueFd fd(::openat(at, path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (fd.get() < 0) {
        return SystemError(errno);
    }
    struct stat info;
    if (::fstat(fd.get(), &info) != 0) {
        return SystemError(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return SystemError(EINVAL);
    }
    return std::pair(fd.release(), StampFrom(info));
}

// A failed open of a normal file: nothing where the failure only says that the entry is none (any more): gone,
// a link, or not a plain file.
Result<std::optional<InputFile>> OnlyNotNormal(const Error& error) {
    const auto code = static_cast<int>(error.code);
    if (IsNoSuchEntry(code) || code == ELOOP || code == EINVAL || code == ENXIO) {
        return std::optional<InputFile>();
    }
    return error;
}

}  // namespace

Result<Path> FindFirstEntry(const Path& pattern, unsigned mask) {
    const std::string& text = pattern.native();
    const auto slash = text.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : text.substr(0, slash + 1);
    const std::string last = slash == std::string::npos ? text : text.substr(slash + 1);
    if (last.empty()) {
        return FindFirstEntry(Path(text + "*"), mask);  // a folder path stands for its contents
    }
    if (last.find_first_of("*?") == std::string::npos) {
        const auto matches = MatchesMask(text, last, mask);
        if (!matches.ok()) {
            return matches.error();
        }
        return matches.value() ? Path(last) : Path();
    }
    const UniqueDir dir(::opendir(folder.c_str()));
    if (!dir) {
        if (IsNoSuchEntry(errno)) {
            return Path();
        }
        return SystemError(errno);
    }
    const std::string wildcard = EscapeForFnmatch(last);
    while (const dirent* entry = ::readdir(dir.get())) {
        if (::fnmatch(wildcard.c_str(), entry->d_name, 0) != 0) {
            continue;
        }
        const auto matches = MatchesMask(JoinPath(folder, entry->d_name), entry->d_name, mask);
        if (!matches.ok()) {
            return matches.error();
        }
        if (matches.value()) {
            return Path(entry->d_name);
        }
    }
    return Path();
}

Result<bool> IsNormalFile(const Path& path) {
    return MatchesMask(path.native(), LastComponent(path.native()), kNormalEntries);
}

// The open refuses links (O_NOFOLLOW) and, after it, anything but a regular file; a hidden file is known by
// its name.
Result<std::optional<InputFile>> OpenNormalFile(const Path& path) {
    if (IsHiddenName(LastComponent(path.native()))) {
        return std::optional<InputFile>();
    }
    auto opened = InputFile::Open(path);
    if (!opened.ok()) {
        return OnlyNotNormal(opened.error());
    }
    return std::optional<InputFile>(std::move(opened.value()));
}

Result<OpenedFolder> OpenedFolder::Open(const Path& folder) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) {
        return SystemError(errno);
    }
    return OpenedFolder(fd.release(), folder);
}

OpenedFolder::OpenedFolder(OpenedFolder&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), path_(std::move(other.path_)) {}

OpenedFolder& OpenedFolder::operator=(OpenedFolder&& other) noexcept {
    UniqueFd closer(static_cast<int>(std::exchange(handle_, std::exchange(other.handle_, -1))));
    path_ = std::move(other.path_);
    return *this;
}

OpenedFolder::~OpenedFolder() {
    UniqueFd closer(static_cast<int>(handle_));
}

Result<std::optional<InputFile>> OpenedFolder::OpenNormalFile(std::string_view name) const {
    if (IsHiddenName(name)) {
        return std::optional<InputFile>();
    }
    auto opened = OpenPlainFileAt(static_cast<int>(handle_), std::string(name).c_str());
    if (!opened.ok()) {
        return OnlyNotNormal(opened.error());
    }
    return std::optional<InputFile>(InputFile(opened.value().first, opened.value().second));
}

// The kind of an entry comes with the listing on most file systems; a lookup is made only for what it does
// not tell: a folder's file system, a plain file's size when wanted, any entry of a kind not given.
Status ListFolder(const Path& folder, const std::function<void(const ListedEntry&)>& each, ListedSizes sizes) {
    const UniqueDir dir(::opendir(folder.c_str()));
    struct stat own;
    if (!dir || ::fstat(::dirfd(dir.get()), &own) != 0) {
        return SystemError(errno);
    }
    errno = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        struct stat info {};
        const bool looked_up = entry->d_type == DT_UNKNOWN || entry->d_type == DT_DIR ||
                               (entry->d_type == DT_REG && sizes == ListedSizes::Wanted);
        // An entry gone since it was listed is kept: its turn in the run finds it missing.
        if (looked_up && ::fstatat(::dirfd(dir.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            info = {};
        }
        const unsigned char type = looked_up ? IFTODT(info.st_mode) : entry->d_type;
        const bool folder_entry = type == DT_DIR;
        each(ListedEntry{.name = name,
                         .size = type == DT_REG ? static_cast<std::uint64_t>(info.st_size) : 0,
                         .folder = folder_entry,
                         .link = type == DT_LNK,
                         .hidden = IsHiddenName(name),
                         .other_file_system = folder_entry && info.st_dev != own.st_dev});
        errno = 0;
    }
    if (errno != 0) {
        return SystemError(errno);
    }
    return {};
}

Result<EntryFacts> LookUpEntry(const Path& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) {
        if (IsNoSuchEntry(errno)) {
            return EntryFacts{};
        }
        return SystemError(errno);
    }
    return EntryFacts{S_ISREG(info.st_mode) ? EntryFacts::Kind::PlainFile : EntryFacts::Kind::Other,
                      static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                      static_cast<std::uint64_t>(info.st_size)};
}

Result<Path> ResolvedPath(const Path& path) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved) {
        return SystemError(errno);
    }
    return Path(resolved.get());
}

bool NamesIgnoreCase() {
    return false;
}

bool BackslashSeparates() {
    return false;
}

// Names compare exactly here: there is no case to reduce them to.
std::u16string FoldCase(std::u16string_view text) {
    return std::u16string(text);
}

Result<FileStamp> StampOf(const Path& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) {
        return SystemError(errno);
    }
    return StampFrom(info);
}

Result<InputFile> InputFile::Open(const Path& path) {
    auto opened = OpenPlainFileAt(AT_FDCWD, path.c_str());
    if (!opened.ok()) {
        return opened.error();
    }
    return InputFile(opened.value().first, opened.value().second);
}

InputFile::InputFile(InputFile&& other) noexcept : handle_(std::exchange(other.handle_, -1)), stamp_(other.stamp_) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    UniqueFd closer(static_cast<int>(std::exchange(handle_, std::exchange(other.handle_, -1))));
    stamp_ = other.stamp_;
    return *this;
}

InputFile::~InputFile() {
    UniqueFd closer(static_cast<int>(handle_));
}

Result<std::size_t> InputFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const {
    for (;;) {
        const ssize_t read = ::pread(static_cast<int>(handle_), buffer, size, static_cast<off_t>(offset));
        if (read >= 0) {
            return static_cast<std::size_t>(read);
        }
        if (errno != EINTR) {
            return SystemError(errno);
        }
    }
}

Result<ReplacementFile> ReplacementFile::CreateFor(const Path& target, const InputFile& original, bool nameless) {
    struct stat info;
    if (::fstat(static_cast<int>(original.handle_), &info) != 0) {
        return SystemError(errno);
    }
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return SystemError(EACCES);  // read-only, whoever runs the program
    }
    const mode_t mode = info.st_mode & 07777;
    const std::string folder = ParentFolder(target.native());
    std::optional<ReplacementFile> file;
    if (nameless && CanNameLater()) {
        UniqueFd fd(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode & 0777));
        if (fd.get() >= 0) {
            file.emplace(ReplacementFile(target, Path(), fd.release()));
        } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            return SystemError(errno);
        }  // otherwise the file system has no files without a name: it gets one now
    }
    while (!file) {
        std::string temporary = TemporaryName(folder);
        UniqueFd fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 0777));
        if (fd.get() < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return SystemError(errno);
        }
        file.emplace(ReplacementFile(target, Path(std::move(temporary)), fd.release()));
    }
    const int handle = static_cast<int>(file->handle_);
    static const uid_t user = ::geteuid();
    static const gid_t group = ::getegid();
    if (info.st_uid != user || info.st_gid != group) {
        // Keeping the owner needs privileges; without them the file becomes the user's own.
        [[maybe_unused]] const int kept = ::fchown(handle, info.st_uid, info.st_gid);
    }
    // After the owner: a change of owner clears the set-user-ID and set-group-ID bits.
    if ((mode & ~0777) != 0 || UmaskWouldStrip(mode)) {
        if (::fchmod(handle, mode) != 0) {
            return SystemError(errno);
        }
    }
    return std::move(*file);
}

ReplacementFile::ReplacementFile(Path target, Path temporary, std::intptr_t handle)
    : target_(std::move(target)), temporary_(std::move(temporary)), handle_(handle) {}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : target_(std::move(other.target_)),
      temporary_(std::move(other.temporary_)),
      handle_(std::exchange(other.handle_, -1)),
      flushed_(other.flushed_),
      settled_(std::exchange(other.settled_, true)) {}

ReplacementFile::~ReplacementFile() {
    Discard();
}

void ReplacementFile::Discard() {
    UniqueFd closer(static_cast<int>(std::exchange(handle_, -1)));
    if (!settled_ && !temporary_.empty()) {  // a file without a name goes with its last descriptor
        ::unlink(temporary_.c_str());
        settled_ = true;
    }
}

Status ReplacementFile::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(static_cast<int>(handle_), bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return SystemError(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return {};
}

Result<std::optional<std::uint64_t>> ReplacementFile::CopyFrom(const InputFile& source, std::uint64_t offset,
                                                               std::uint64_t length) {
    auto source_offset = static_cast<loff_t>(offset);
    std::uint64_t copied = 0;
    while (copied < length) {
        const ssize_t n = ::copy_file_range(static_cast<int>(source.handle_), &source_offset, static_cast<int>(handle_),
                                            nullptr, length - copied, 0);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const bool unsupported = errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP;
            if (unsupported && copied == 0) {
                return std::optional<std::uint64_t>();
            }
            return SystemError(errno);
        }
        if (n == 0) {
            break;
        }
        copied += static_cast<std::uint64_t>(n);
    }
    return std::optional<std::uint64_t>(copied);
}

Status ReplacementFile::Flush() {
    if (::fsync(static_cast<int>(handle_)) != 0) {
        return SystemError(errno);
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
    const auto now = StampOf(target_);
    if (!now.ok()) {
        return now.error();
    }
    if (now.value() != expected) {
        return false;
    }
    if (temporary_.empty()) {  // named only now that it is to take the target's place
        const std::string descriptor = "/proc/self/fd/" + std::to_string(handle_);
        for (;;) {
            std::string temporary = TemporaryName(ParentFolder(target_.native()));
            if (::linkat(AT_FDCWD, descriptor.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                temporary_ = std::move(temporary);
                break;
            }
            if (errno != EEXIST) {
                return SystemError(errno);
            }
        }
    }
    const int closed = ::close(static_cast<int>(std::exchange(handle_, -1)));
    if (closed != 0 && errno != EINTR) {
        return SystemError(errno);
    }
    // Swapping the two names, rather than renaming over the target, fails for a target that has just
    // vanished and lets a file put there in the last instant be given back.
    if (ExchangeNames(temporary_, target_, seam::Call::ExchangeNames) != 0) {
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
            return SystemError(errno);
        }
        if (::rename(temporary_.c_str(), target_.c_str()) != 0) {  // no exchange on this file system
            return SystemError(errno);
        }
        settled_ = true;
        return true;
    }
    // The file swapped out must be the one checked above, unwritten since: a write that came in between went
    // to it. Its change time is no witness, as the exchange itself moves it.
    UniqueFd former_file(::open(temporary_.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat former;
    if (former_file.get() >= 0 && ::fstat(former_file.get(), &former) == 0 &&
        !SameVersion(StampFrom(former), expected)) {
        settled_ = true;  // the temporary's name holds the other program's file now: never delete it
        if (ExchangeNames(temporary_, target_, seam::Call::SwapBack) != 0) {
            Error failure = SystemError(errno);
            failure.kept_copy = target_;  // where the new content stayed
            return failure;
        }
        ::unlink(temporary_.c_str());
        return false;
    }
    ::unlink(temporary_.c_str());               // the former content, now under the temporary's name
    CloseInBackground(std::move(former_file));  // which frees it
    settled_ = true;
    return true;
}

std::optional<GroupFlush> GroupFlush::For(const Path& folder) {
    if (!SyncfsReportsFailures()) {
        return std::nullopt;
    }
    // Opened before any file of the group is written: syncfs through it reports every write failure since.
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct statfs info;
    struct stat folder_info;
    if (fd.get() < 0 || ::fstatfs(fd.get(), &info) != 0 || !FlushesThroughSyncfs(info) ||
        ::fstat(fd.get(), &folder_info) != 0) {
        return std::nullopt;
    }
    // Half of what may be open leaves the other half to the rest of the run.
    struct rlimit open_files;
    const rlim_t most_open = ::getrlimit(RLIMIT_NOFILE, &open_files) == 0 ? open_files.rlim_cur / 2 : 0;
    return GroupFlush(fd.release(), static_cast<std::uint64_t>(folder_info.st_dev),
                      static_cast<std::size_t>(std::min<rlim_t>(most_open, SIZE_MAX)));
}

GroupFlush::GroupFlush(GroupFlush&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), device_(other.device_), most_open_(other.most_open_) {}

GroupFlush::~GroupFlush() {
    UniqueFd closer(static_cast<int>(handle_));
}

bool GroupFlush::Flush(std::span<ReplacementFile* const> files) {
    // syncfs also waits for all that other programs wrote: with much of that about, flushing file by file
    // is quicker.
    constexpr std::uint64_t kMostUnwritten = std::uint64_t{256} << 20;
    if (UnwrittenBytes() > kMostUnwritten || ::syncfs(static_cast<int>(handle_)) != 0) {
        return false;
    }
    // A file that is not on the folder's first file system (another one mounted over the folder since) was
    // not flushed by this: its replacement flushes it on its own.
    for (ReplacementFile* file : files) {
        struct stat info;
        file->flushed_ =
            ::fstat(static_cast<int>(file->handle_), &info) == 0 && static_cast<std::uint64_t>(info.st_dev) == device_;
    }
    return true;
}

bool FreeReplacedFiles() {
    return FinishBackgroundCloses();
}

bool IsOutOfSpace(const Error& error) {
    return error.code == ENOSPC || error.code == EDQUOT;
}

// Nothing here waits for a file that another program holds.
void AbandonWaits() {}

Status SyncFolder(const Path& folder) {
    seam::SyncingFolder(folder);
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    int failure = fd.get() < 0 ? errno : seam::FailureOf(seam::Call::SyncFolder);
    if (failure == 0 && ::fsync(fd.get()) != 0) {
        failure = errno;
    }
    // Some file systems cannot flush a folder; their renames need no such flush to last.
    if (failure == 0 || failure == EINVAL || failure == ENOTSUP) {
        return {};
    }
    return SystemError(failure);
}

std::optional<Path> PathFromText(std::u16string_view text) {
    auto bytes = Utf16ToUtf8(text);
    if (!bytes) {
        return std::nullopt;
    }
    return Path(std::move(*bytes));
}

std::u16string PathText(const Path& path) {
    return Utf8ToUtf16Lenient(path.native());
}

Result<std::string> ReadWholeFile(const Path& path, std::size_t most) {
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        return SystemError(errno);
    }
    std::string content;
    char buffer[64 * 1024];
    for (;;) {
        const std::size_t wanted = std::min(sizeof buffer, most + 1 - content.size());
        const ssize_t n = ::read(file.get(), buffer, wanted);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return SystemError(errno);
        }
        content.append(buffer, static_cast<std::size_t>(n));
        if (n == 0 || content.size() > most) {
            return content;
        }
    }
}

}  // namespace platform
