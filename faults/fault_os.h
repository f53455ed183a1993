#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// What the fault tests need of the system beyond the file operations the product itself uses: other
// processes that hold, race or die, and the identity of files on disk.

// A helper program built beside the test program ("fault_rewriter" names fault_rewriter.exe on Windows).
std::filesystem::path HelperProgram(const std::string& name);

// A process of the helper programs, killed at the latest when this object goes.
class ChildProcess {
  public:
    ChildProcess(const std::filesystem::path& program, const std::vector<std::filesystem::path>& arguments);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // The process id, which names the temporary files it creates.
    std::uint32_t id() const { return id_; }
    bool Running();
    // Ends the process at once, as SIGKILL or TerminateProcess do: no handler and no clean-up runs.
    void Kill();
    // Waits for the end and returns the exit code (-1 when killed by a signal).
    int Wait();

  private:
    std::intptr_t handle_ = 0;
    std::uint32_t id_ = 0;
    bool waited_ = false;
    int exit_code_ = -1;
};

// Waits until `marker` exists, giving up when `child` has ended or `limit` has passed; true when it exists.
bool WaitForMarker(const std::filesystem::path& marker, ChildProcess& child, std::chrono::seconds limit);

// The system's own text for a write that failed because the disk is full.
std::u16string DiskFullText();

// True when the Windows build runs under Wine, whose ReplaceFileW is not one step: it moves the old file
// aside (to an empty "rf<hex>.tmp" it creates first) and deletes it before it moves the new file in. A
// kill between the two leaves the new content only in the temporary file, and a failed call leaves the
// empty "rf" file behind.
bool UnderWine();

// A file's last-write time at the system's full precision, and setting it back, as backup and copy tools
// that keep time stamps do.
std::int64_t WriteTimeOf(const std::filesystem::path& path);
void SetWriteTime(const std::filesystem::path& path, std::int64_t time);
