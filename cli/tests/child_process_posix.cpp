#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "child_process.h"
#include "platform/unicode.h"
#include "tests/test_folder.h"

extern char** environ;

namespace {

std::string Utf8(std::u16string_view text) {
    return platform::Utf16ToUtf8(text).value();
}

std::u16string Decode(const std::string& bytes) {
    return platform::Utf8ToUtf16(bytes).value_or(u"<not UTF-8>");
}

}  // namespace

CliRun RunCli(const std::vector<std::u16string>& arguments) {
    const std::filesystem::path cli = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "varnotta-cli";
    const std::filesystem::path out_file =
        std::filesystem::temp_directory_path() / ("cli-out-" + std::to_string(getpid()));
    const std::filesystem::path err_file =
        std::filesystem::temp_directory_path() / ("cli-err-" + std::to_string(getpid()));

    std::vector<std::string> strings{cli.string()};
    for (const std::u16string& argument : arguments) {
        strings.push_back(Utf8(argument));
    }
    std::vector<char*> argv;
    for (std::string& s : strings) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t child = 0;
    CliRun run;
    if (posix_spawn(&child, cli.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0) {
        }
        run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.raw_out = ReadBytes(out_file);
    run.out = Decode(run.raw_out);
    run.err = Decode(ReadBytes(err_file));
    std::filesystem::remove(out_file);
    std::filesystem::remove(err_file);
    return run;
}
