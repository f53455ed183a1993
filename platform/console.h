#pragma once

#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/result.h"

namespace platform {

// The two output streams of a console program.
enum class ConsoleStream { Output, Error };

// True when the stream goes to an interactive terminal rather than a file or a pipe.
bool IsTerminal(ConsoleStream stream);

// Writes text so that it reads correctly where the stream goes: straight to the console window when it is
// one, otherwise encoded for the console (UTF-8 on Linux; the console output code page on Windows). "\n"
// ends a line; it becomes the platform's line end.
void WriteConsoleText(ConsoleStream stream, std::u16string_view text);

// The whole content of a small file, such as a text given on the command line by file name.
Result<std::string> ReadWholeFile(const Path& path);

// Everything that arrives on standard input, up to its end.
Result<std::string> ReadStandardInput();

}  // namespace platform
