#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#include "tests/support/fault_os.h"
#include "platform/posix/system_error.h"
#include "platform/unicode.h"

extern char** environ;

std::filesystem::path ProgramBeside(const std::string& name) {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
}

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::filesystem::path>& arguments,
                           const std::filesystem::path& output, const std::filesystem::path& errors) {
    std::vector<std::string> strings{program.native()};
    for (const auto& argument : arguments) {
        strings.push_back(argument.native());
    }
    std::vector<char*> argv;
    for (auto& text : strings) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    for (const auto& [descriptor, file] : {std::pair{STDOUT_FILENO, &output}, std::pair{STDERR_FILENO, &errors}}) {
        if (!file->empty()) {
            posix_spawn_file_actions_addopen(&actions, descriptor, file->c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        }
    }
    pid_t pid = 0;
    const int failed = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw std::runtime_error("cannot start " + program.native());
    }
    handle_ = pid;
    id_ = static_cast<std::uint32_t>(pid);
}

ChildProcess::~ChildProcess() {
    Kill();
    Wait();
}

bool ChildProcess::Running() {
    int status = 0;
    if (!waited_ && ::waitpid(static_cast<pid_t>(handle_), &status, WNOHANG) != 0) {
        waited_ = true;
        exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return !waited_;
}

void ChildProcess::Kill() {
    if (!waited_) {
        ::kill(static_cast<pid_t>(handle_), SIGKILL);
    }
}

void ChildProcess::AskToEnd(int signal) {
    ::kill(static_cast<pid_t>(handle_), signal);
}

int ChildProcess::Wait() {
    int status = 0;
    if (!waited_ && ::waitpid(static_cast<pid_t>(handle_), &status, 0) > 0) {
        waited_ = true;
        exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return exit_code_;
}

std::u16string ConsoleText(const std::string& bytes) {
    return platform::Utf8ToUtf16(bytes).value_or(u"<not UTF-8>");
}

std::u16string SystemText(int code) {
    return platform::SystemError(code).text;
}

// std::filesystem keeps nanoseconds here (stat and utimensat).
std::int64_t WriteTimeOf(const std::filesystem::path& path) {
    return std::filesystem::last_write_time(path).time_since_epoch().count();
}

void SetWriteTime(const std::filesystem::path& path, std::int64_t time) {
    std::filesystem::last_write_time(path,
                                     std::filesystem::file_time_type(std::filesystem::file_time_type::duration(time)));
}
