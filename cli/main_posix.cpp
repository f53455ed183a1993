#include <optional>
#include <string>
#include <vector>
#include "platform/unicode.h"

#include "cli/box_text.h"
#include "cli/help_text.h"
#include "cli/run_command_line.h"
#include "platform/console.h"

// Linux passes arguments as bytes; the terminal's encoding, UTF-8, turns them into text.
int main(int argc, char** argv) {
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i) {
        std::optional<std::u16string> argument = platform::Utf8ToUtf16(argv[i]);
        if (!argument) {
            platform::WriteConsoleText(platform::ConsoleStream::Error,
                                       u"参数不是 UTF-8 文本 / an argument is not UTF-8 text\n");
            return cli::kExitUsage;
        }
        arguments.push_back(std::move(*argument));
    }
    return cli::RunCommandLine(arguments);
}
