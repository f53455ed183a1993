#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <thread>

#include "faults/fault_os.h"
#include "platform/posix/system_error.h"

extern char** environ;

std::filesystem::path HelperProgram(const std::string& name) {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
}

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::filesystem::path>& arguments) {
    std::vector<std::string> strings{program.native()};
    for (const auto& argument : arguments) {
        strings.push_back(argument.native());
    }
    std::vector<char*> argv;
    for (auto& text : strings) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        throw std::runtime_error("cannot start " + program.native());
    }
    handle_ = pid;
    id_ = static_cast<std::uint32_t>(pid);
}

ChildProcess::~ChildProcess() {
    if (!waited_) {
        Kill();
        Wait();
    }
}

bool ChildProcess::Running() {
    if (waited_) {
        return false;
    }
    int status = 0;
    const pid_t ended = ::waitpid(static_cast<pid_t>(handle_), &status, WNOHANG);
    if (ended == 0) {
        return true;
    }
    waited_ = true;
    exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return false;
}

void ChildProcess::Kill() {
    if (!waited_) {
        ::kill(static_cast<pid_t>(handle_), SIGKILL);
    }
}

int ChildProcess::Wait() {
    if (!waited_) {
        int status = 0;
        while (::waitpid(static_cast<pid_t>(handle_), &status, 0) < 0 && errno == EINTR) {
        }
        waited_ = true;
        exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return exit_code_;
}

std::u16string DiskFullText() {
    return platform::SystemError(ENOSPC).text;
}

bool UnderWine() {
    return false;
}

std::int64_t WriteTimeOf(const std::filesystem::path& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        throw std::runtime_error("cannot read a write time");
    }
    return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}

void SetWriteTime(const std::filesystem::path& path, std::int64_t time) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, {time / 1'000'000'000, time % 1'000'000'000}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) {
        throw std::runtime_error("cannot set a write time");
    }
}
