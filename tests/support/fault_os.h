#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// What the fault and console tests need of the system beyond the file operations the product itself uses:
// other processes that print, hold, race or die, system texts, and file times at full precision.

// A program built beside the test program ("fault_rewriter" names fault_rewriter.exe on Windows).
std::filesystem::path ProgramBeside(const std::string& name);

// A process of another program, killed at the latest when this object goes. Its standard output and error
// go to the files named, if any; it reads nothing.
class ChildProcess {
  public:
    ChildProcess(const std::filesystem::path& program, const std::vector<std::filesystem::path>& arguments,
                 const std::filesystem::path& output = {}, const std::filesystem::path& errors = {});
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // The process id, which names the temporary files it creates.
    std::uint32_t id() const { return id_; }
    bool Running();
    // Ends the process at once, as SIGKILL or TerminateProcess do: no handler and no clean-up runs.
    void Kill();
    // Asks the process to end as a user or the system does: the signal on Linux; on Windows Ctrl+C, which
    // reaches every process of this console but the test's own.
    void AskToEnd(int signal);
    // Waits for the end and returns the exit code (128 + the signal, as a shell tells it, when killed by one).
    int Wait();

  private:
    std::intptr_t handle_ = 0;
    std::uint32_t id_ = 0;
    bool waited_ = false;
    int exit_code_ = -1;
};

// What a console program wrote to a file, as the console shows it: decoded, lines ended by "\n".
std::u16string ConsoleText(const std::string& bytes);

// The system's own text for an error code (errno, or GetLastError on Windows).
std::u16string SystemText(int code);

// A file's last-write time at the system's full precision, and setting it back, as backup and copy tools
// that keep time stamps do.
std::int64_t WriteTimeOf(const std::filesystem::path& path);
void SetWriteTime(const std::filesystem::path& path, std::int64_t time);
