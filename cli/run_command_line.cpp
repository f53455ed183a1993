#include "cli/run_command_line.h"

#include <optional>
#include <variant>

#include "batch/batch_run.h"
#include "cli/box_text.h"
#include "cli/command_line.h"
#include "cli/console_view.h"
#include "cli/help_text.h"
#include "platform/console.h"
#include "platform/file_system.h"

namespace cli {
namespace {

void PrintError(std::u16string_view text) {
    platform::WriteConsoleText(platform::ConsoleStream::Error, text);
}

// The text of a --head or --tail option, read from its file when it names one; nothing, after saying why,
// when the file cannot be used.
std::optional<std::u16string> TextOf(const TextSource& source) {
    if (source.kind != TextSource::Kind::File) {
        return source.value;
    }
    const std::optional<platform::Path> path = platform::PathFromText(source.value);
    if (!path) {
        PrintError(u"无法读取文件 / cannot read file: " + source.value + u"\n");
        return std::nullopt;
    }
    platform::Result<std::string> content = platform::ReadWholeFile(*path);
    if (!content.ok()) {
        PrintError(u"无法读取文件 / cannot read file: " + source.value + u"\n" + content.error().text + u"\n");
        return std::nullopt;
    }
    std::optional<std::u16string> text = BoxTextFromFile(content.value());
    if (!text) {
        PrintError(u"文件不是 UTF-8 文本 / file is not UTF-8 text: " + source.value + u"\n");
    }
    return text;
}

}  // namespace

int RunCommandLine(const std::vector<std::u16string>& arguments) {
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (std::holds_alternative<HelpRequested>(parsed)) {
        platform::WriteConsoleText(platform::ConsoleStream::Output, kHelpText);
        return kExitCompleted;
    }
    if (const auto* error = std::get_if<UsageError>(&parsed)) {
        PrintError(error->text + u"\n");
        PrintError(kHelpHint);
        return kExitUsage;
    }
    const Options& options = std::get<Options>(parsed);
    std::optional<std::u16string> head = TextOf(options.head);
    if (!head) {
        return kExitUsage;
    }
    std::optional<std::u16string> tail = TextOf(options.tail);
    if (!tail) {
        return kExitUsage;
    }

    ConsoleView view(options.folder, std::move(*head), std::move(*tail), MakeConsoleOutput());
    // Ctrl+C and its kin stop the run cleanly, which removes every temporary file, before the program ends.
    platform::StopRequests stop_requests;
    RunBatch(view, stop_requests.token());
    view.Finish();
    if (stop_requests.stop_requested()) {
        stop_requests.EndAsRequested();
    }
    return ExitStatusOf(view.outcome());
}

}  // namespace cli
