#include "cli/run_command_line.h"

#include <limits>
#include <optional>
#include <string>
#include <variant>

#include "batch/batch_run.h"
#include "batch/check_files.h"
#include "cli/box_text.h"
#include "cli/command_line.h"
#include "cli/console_view.h"
#include "cli/help_text.h"
#include "cli/name_list.h"
#include "platform/console.h"
#include "platform/file_system.h"

namespace cli {
namespace {

void PrintError(std::u16string_view text) {
    platform::WriteConsoleText(platform::ConsoleStream::Error, text);
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

// A list of files is read whole, however long.
constexpr std::size_t kMostListBytes = std::numeric_limits<std::size_t>::max() - 1;

// Why a pattern cannot be used, in both languages, in the order of Glob::Flaw.
constexpr std::u16string_view kPatternFlaws[] = {
    u"模式为空 / the pattern is empty",
    u"模式须为相对路径 / the pattern must be a relative path",
    u"模式中有空的部分 / the pattern has an empty part",
    u"模式中不能有 . 或 .. / the pattern cannot hold . or ..",
    u"** 须单独成为一部分 / ** must be a whole part",
};

bool AddPatterns(const std::vector<std::u16string>& texts, std::vector<Glob>& globs) {
    for (const std::u16string& text : texts) {
        auto parsed = Glob::Parse(text);
        if (const auto* flaw = std::get_if<Glob::Flaw>(&parsed)) {
            PrintError(std::u16string(kPatternFlaws[static_cast<int>(*flaw)]) + u": " + text + u"\n");
            return false;
        }
        globs.push_back(std::move(std::get<Glob>(parsed)));
    }
    return true;
}

// The names of the --files-from list, read from its file or from standard input; nothing, after saying why,
// when the list cannot be read or is in no encoding it may have.
std::optional<NamedFiles> ListedNames(const Options& options) {
    const std::optional<platform::Path> path =
        options.files_from == u"-" ? platform::Path() : platform::PathFromText(options.files_from);
    if (!path) {
        PrintError(u"无法读取文件列表 / cannot read the list of files: " + options.files_from + u"\n");
        return std::nullopt;
    }
    const platform::Result<std::string> content =
        path->empty() ? platform::ReadStandardInput() : platform::ReadWholeFile(*path, kMostListBytes);
    if (!content.ok()) {
        PrintError(u"无法读取文件列表 / cannot read the list of files: " + options.files_from + u"\n" +
                   content.error().text + u"\n");
        return std::nullopt;
    }
    NamedFiles names;
    const bool decoded = ForEachListedName(content.value(), options.null_separated, [&](std::u16string_view name) {
        names.Add(platform::PathFromText(name).value_or(platform::Path()));  // decoded: always a path
    });
    if (!decoded) {
        PrintError(
            u"文件列表不是 UTF-8 或带 BOM 的 UTF-16 / the list of files is neither UTF-8 nor UTF-16 with a BOM: " +
            options.files_from + u"\n");
        return std::nullopt;
    }
    return names;
}

// The files the run takes, as the options choose them; nothing, after saying why, for a pattern or a list
// that cannot be used.
std::optional<FileSelection> SelectionOf(const Options& options) {
    FileSelection selection;
    selection.recursive = options.recursive;
    if (!AddPatterns(options.include, selection.include) || !AddPatterns(options.exclude, selection.exclude)) {
        return std::nullopt;
    }
    if (!options.files_from.empty()) {
        selection.listed = ListedNames(options);
        if (!selection.listed) {
            return std::nullopt;
        }
    }
    return selection;
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
int RunCheck(const Options& options, const Texts& texts, const FileSelection& selection) {
    auto folder = FolderToRun(options.folder);
    if (const auto* refusal = std::get_if<Refusal>(&folder)) {
        RunOutcome refused;
        refused.kind = OutcomeKind::Refused;
        refused.refusal = *refusal;
        PrintError(*OutcomeText(refused) + u"\n");
        return kExitCheckUnfinished;
    }
    const RunOutcome outcome = CheckFiles(std::get<platform::Path>(folder), selection,
                                          HeadTailTexts(texts.head, texts.tail), [](const platform::Path& path) {
                                              platform::WriteConsoleText(platform::ConsoleStream::Output,
                                                                         platform::PathText(path) + u"\n", true);
                                          });
    if (outcome.kind == OutcomeKind::ListRefused) {
        PrintError(ConsoleLines(*OutcomeText(outcome)));
        return kExitCheckUnfinished;
    }
    if (outcome.kind == OutcomeKind::Failed) {
        PrintError(u"无法读取 / cannot read: " + platform::PathText(outcome.where) + u"\n" +
                   ProblemText(outcome.problem) + u"\n");
        return kExitCheckUnfinished;
    }
    return outcome.files_left > 0 ? kExitRunFailed : kExitCompleted;
}

// The line of counts after a run in a mode other than the plain addition.
std::u16string CountsLine(const RunOutcome& outcome) {
    return u"改写 " + CountText(outcome.files_done) + u" 个文件，原样保留 " + CountText(outcome.files_left) +
           u" 个，跳过 " + CountText(outcome.files_passed_over) + u" 个 / " + CountText(outcome.files_done) +
           u" rewritten, " + CountText(outcome.files_left) + u" left as they were, " +
           CountText(outcome.files_passed_over) + u" passed over\n";
}

// A run that writes, as the window's Start makes it, in the mode and with the old texts of the command line.
int RunWriting(const Options& options, Texts texts, FileSelection selection) {
    ConsoleView view(options.folder, std::move(texts.head), std::move(texts.tail), MakeConsoleOutput());
    auto inputs = BeginRun(view);
    if (!inputs) {
        return ExitStatusOf(view.outcome());
    }
    inputs->mode = options.mode;
    inputs->selection = std::move(selection);
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
    std::optional<FileSelection> selection = SelectionOf(options);
    if (!selection) {
        return kExitUsage;
    }
    if (options.mode == RunMode::Check) {
        return RunCheck(options, *texts, *selection);
    }
    return RunWriting(options, std::move(*texts), std::move(*selection));
}

}  // namespace cli
