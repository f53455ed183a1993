#pragma once

#include <memory>
#include <stop_token>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace platform {

// The two output streams of a console program.
enum class ConsoleStream { Output, Error };

// True when the stream goes to an interactive terminal rather than a file or a pipe.
bool IsTerminal(ConsoleStream stream);

// Writes text so that it reads correctly where the stream goes: straight to the console window when it is
// one, otherwise encoded for the console (UTF-8 on Linux; the console output code page on Windows). "\n"
// ends a line; it becomes the platform's line end.
// `utf8` asks for UTF-8 wherever the stream is redirected, for output that other programs read, such as a
// list of paths.
void WriteConsoleText(ConsoleStream stream, std::u16string_view text, bool utf8 = false);

// While it lives, the requests that end a console program where it stands (Ctrl+C, Ctrl+Break, a closed
// console window, logoff and shutdown on Windows; SIGINT, SIGTERM and SIGHUP elsewhere) only ask `token()`
// to stop, from a thread of their own, and make every wait for a busy file give up. The program can then
// clean up and end as the request would have ended it. A request that the program's starter chose to
// ignore stays ignored.
class StopRequests {
  public:
    StopRequests();
    ~StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;

    std::stop_token token() const { return stop_.get_token(); }
    bool stop_requested() const { return stop_.stop_requested(); }

    // Ends the process as the request that came would have ended it untouched: with STATUS_CONTROL_C_EXIT on
    // Windows, by the same signal elsewhere. Only after a request.
    [[noreturn]] void EndAsRequested();

  private:
    struct Listener;  // the system's side
    std::stop_source stop_;
    std::unique_ptr<Listener> listener_;
};

// Everything that arrives on standard input, up to its end.
Result<std::string> ReadStandardInput();

}  // namespace platform
