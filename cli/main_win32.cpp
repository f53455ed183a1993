#include <string>
#include <vector>

#include "cli/run_command_line.h"

// wmain receives the command line as UTF-16, so a head typed in any script survives whatever the code page.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view argument(argv[i]);
        arguments.emplace_back(argument.begin(), argument.end());
    }
    return cli::RunCommandLine(arguments);
}
