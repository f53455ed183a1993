#include "cli/run_command_line.h"

#include <optional>
#include <string>
#include <variant>

#include "batch/batch_run.h"
#include "batch/check_files.h"
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

std::u16string Number(std::int64_t count) {
    const std::string digits = std::to_string(count);
    return std::u16string(digits.begin(), digits.end());
}

// The text of a text option, read from its file when it names one; nothing, after saying why, when the file
// cannot be used.
std::optional<std::u16string> TextOf(const TextSource& source) {
    if (source.kind != TextSource::Kind::File) {
        return source.value;
    }
    const std::optional<platform::Path> path = platform::PathFromText(source.value);
    if (!path) {
        PrintError(u"无法读取文件 / cannot read file: " + source.value + u"\n");
        return std::nullopt;
    }
    platform::Result<std::string> content = platform::ReadWholeFile(*path, kMostTextFileBytes);
    if (!content.ok()) {
        PrintError(u"无法读取文件 / cannot read file: " + source.value + u"\n" + content.error().text + u"\n");
        return std::nullopt;
    }
    if (content.value().size() > kMostTextFileBytes) {
        PrintError(u"文件超过 16 MiB / file is larger than 16 MiB: " + source.value + u"\n");
        return std::nullopt;
    }
    std::optional<std::u16string> text = BoxTextFromFile(content.value());
    if (!text) {
        PrintError(u"文件不是 UTF-8 文本 / file is not UTF-8 text: " + source.value + u"\n");
    }
    return text;
}

// All four texts, or nothing after saying which could not be read or why they cannot be used.
std::optional<Texts> ReadTexts(const Options& options) {
    Texts texts;
    for (const auto& [source, text] :
         {std::pair{&options.head, &texts.head}, std::pair{&options.tail, &texts.tail},
          std::pair{&options.old_head, &texts.old_head}, std::pair{&options.old_tail, &texts.old_tail}}) {
        auto read = TextOf(*source);
        if (!read) {
            return std::nullopt;
        }
        *text = std::move(*read);
    }
    if (const auto wrong = CheckTexts(options, texts)) {
        PrintError(wrong->text + u"\n");
        PrintError(kHelpHint);
        return std::nullopt;
    }
    return texts;
}

// The check: the paths of the files that lack a text on standard output, and nothing else there.
int RunCheck(const Options& options, const Texts& texts) {
    auto folder = FolderToRun(options.folder);
    if (const auto* refusal = std::get_if<Refusal>(&folder)) {
        RunOutcome refused;
        refused.kind = OutcomeKind::Refused;
        refused.refusal = *refusal;
        PrintError(*OutcomeText(refused) + u"\n");
        return kExitCheckUnfinished;
    }
    const RunOutcome outcome = CheckFiles(
        std::get<platform::Path>(folder), HeadTailTexts(texts.head, texts.tail), [](const platform::Path& path) {
            platform::WriteConsoleText(platform::ConsoleStream::Output, platform::PathText(path) + u"\n", true);
        });
    if (outcome.kind == OutcomeKind::Failed) {
        PrintError(u"无法读取 / cannot read: " + platform::PathText(outcome.where) + u"\n" +
                   ProblemText(outcome.problem) + u"\n");
        return kExitCheckUnfinished;
    }
    return outcome.files_left > 0 ? kExitRunFailed : kExitCompleted;
}

// The line of counts after a run in a mode other than the plain addition.
std::u16string CountsLine(const RunOutcome& outcome) {
    return u"改写 " + Number(outcome.files_done) + u" 个文件，原样保留 " + Number(outcome.files_left) + u" 个，跳过 " +
           Number(outcome.files_passed_over) + u" 个 / " + Number(outcome.files_done) + u" rewritten, " +
           Number(outcome.files_left) + u" left as they were, " + Number(outcome.files_passed_over) + u" passed over\n";
}

// A run that writes, as the window's Start makes it, in the mode and with the old texts of the command line.
int RunWriting(const Options& options, Texts texts) {
    ConsoleView view(options.folder, std::move(texts.head), std::move(texts.tail), MakeConsoleOutput());
    auto inputs = BeginRun(view);
    if (!inputs) {
        return ExitStatusOf(view.outcome());
    }
    inputs->mode = options.mode;
    if (options.swap()) {
        // A side without an old text keeps the new one: it is only added where missing, if at all.
        inputs->old_texts.emplace(
            options.old_head.kind == TextSource::Kind::None ? view.ReadText(BatchText::Text2) : texts.old_head,
            options.old_tail.kind == TextSource::Kind::None ? view.ReadText(BatchText::Text3) : texts.old_tail);
    }
    // Ctrl+C and its kin stop the run cleanly, which removes every temporary file, before the program ends.
    platform::StopRequests stop_requests;
    const RunOutcome outcome = RewriteFolder(
        *inputs, [&](const BatchProgress& progress) { view.ReportProgress(progress); }, stop_requests.token());
    EndRun(view, outcome);
    view.Finish();
    if (options.mode != RunMode::Add || options.swap()) {
        PrintError(CountsLine(outcome));
    }
    if (stop_requests.stop_requested()) {
        stop_requests.EndAsRequested();
    }
    return ExitStatusOf(view.outcome());
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
    std::optional<Texts> texts = ReadTexts(options);
    if (!texts) {
        return kExitUsage;
    }
    if (options.mode == RunMode::Check) {
        return RunCheck(options, *texts);
    }
    return RunWriting(options, std::move(*texts));
}

}  // namespace cli
