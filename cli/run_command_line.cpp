#include "cli/run_command_line.h"

#include <optional>
#include <variant>

#include "batch/batch_run.h"
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
std::optional<std::vector<platform::Path>> ListedNames(const Options& options) {
    const std::optional<platform::Path> path =
        options.files_from == u"-" ? platform::Path() : platform::PathFromText(options.files_from);
    const platform::Result<std::string> content = !path           ? platform::Error{}
                                                  : path->empty() ? platform::ReadStandardInput()
                                                                  : platform::ReadWholeFile(*path);
    if (!content.ok()) {
        PrintError(u"无法读取文件列表 / cannot read the list of files: " + options.files_from + u"\n" +
                   content.error().text + u"\n");
        return std::nullopt;
    }
    const auto names = NamesFromList(content.value(), options.null_separated);
    if (!names) {
        PrintError(
            u"文件列表不是 UTF-8 或带 BOM 的 UTF-16 / the list of files is neither UTF-8 nor UTF-16 with a BOM: " +
            options.files_from + u"\n");
        return std::nullopt;
    }
    std::vector<platform::Path> paths;
    paths.reserve(names->size());
    for (const std::u16string& name : *names) {
        paths.push_back(platform::PathFromText(name).value_or(platform::Path()));  // decoded: always a path
    }
    return paths;
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

    const std::optional<FileSelection> selection = SelectionOf(options);
    if (!selection) {
        return kExitUsage;
    }

    ConsoleView view(options.folder, std::move(*head), std::move(*tail), MakeConsoleOutput());
    RunBatch(view, {}, *selection);
    view.Finish();
    return ExitStatusOf(view.outcome());
}

}  // namespace cli
