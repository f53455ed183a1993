#pragma once

#include <string>
#include <vector>

namespace cli {

// Exit statuses of varnotta-cli.
inline constexpr int kExitCompleted = 0;
inline constexpr int kExitRunFailed = 1;  // refused (blank or missing folder) or stopped by a failure;
                                          // for --check: a file lacks the head or the tail
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCheckUnfinished = 3;  // --check: blank or missing folder, or a file it could not read

// The whole program after its arguments have become UTF-16: parse them, read the head and tail, run the
// batch on the console, and return the exit status. `arguments` excludes the program's own name.
int RunCommandLine(const std::vector<std::u16string>& arguments);

}  // namespace cli
