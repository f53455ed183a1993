#include "cli/command_line.h"

#include <gtest/gtest.h>

namespace {

// The parse in one line: the help, the usage error's text, or where head, tail and folder come from.
std::u16string Described(const cli::ParsedCommandLine& parsed) {
    if (std::holds_alternative<cli::HelpRequested>(parsed)) {
        return u"help";
    }
    if (const auto* error = std::get_if<cli::UsageError>(&parsed)) {
        return error->text;
    }
    const auto source = [](const cli::TextSource& text) {
        const char16_t* kinds[] = {u"none", u"typed ", u"file "};
        return kinds[static_cast<int>(text.kind)] + text.value;
    };
    const auto& options = std::get<cli::Options>(parsed);
    const char16_t* modes[] = {u"", u"missing only, ", u"remove, ", u"check, "};
    const std::u16string old =
        options.swap() ? u", old " + source(options.old_head) + u"/" + source(options.old_tail) : u"";
    std::u16string selection;
    for (const auto& [flag, text] :
         {std::pair(options.recursive, u", -r"), std::pair(options.null_separated, u", -0")}) {
        selection += flag ? text : u"";
    }
    for (const auto& [name, patterns] :
         {std::pair(u", include", &options.include), std::pair(u", exclude", &options.exclude)}) {
        for (const auto& pattern : *patterns) {
            selection += name + (u" " + pattern);
        }
    }
    selection += options.files_from.empty() ? u"" : u", list " + options.files_from;
    return modes[static_cast<int>(options.mode)] + (u"head " + source(options.head)) + u", tail " +
           source(options.tail) + old + u", folder [" + options.folder + u"]" + selection;
}

// Values may start with a dash or hold "=" and spaces; the folder keeps its spaces for the run to trim, and
// an empty one is the run's to refuse.
TEST(CommandLine, ParsesAsTyped) {
    const std::pair<std::vector<std::u16string>, std::u16string> cases[] = {
        {{u"--head", u"标题", u"--tail-file=t.txt", u"D:\\notes"},
         u"head typed 标题, tail file t.txt, folder [D:\\notes]"},
        {{u"notes", u"--tail", u"T", u"--head-file", u"h.txt"}, u"head file h.txt, tail typed T, folder [notes]"},
        {{u"--head", u"--- a = b ---", u"--tail=x=y", u"  my folder  "},
         u"head typed --- a = b ---, tail typed x=y, folder [  my folder  ]"},
        {{u"--head=", u"f"}, u"head typed , tail none, folder [f]"},
        {{u""}, u"head none, tail none, folder []"},
        {{u"-"}, u"head none, tail none, folder [-]"},
        {{u"--head", u"H", u"--", u"--help"}, u"head typed H, tail none, folder [--help]"},
        {{u"--", u"-folder"}, u"head none, tail none, folder [-folder]"},
        {{u"-r", u"--include", u"*.md", u"--include=a/**", u"--exclude", u"-b", u"f"},
         u"head none, tail none, folder [f], -r, include *.md, include a/**, exclude -b"},
        {{u"--files-from", u"-", u"f", u"--null"}, u"head none, tail none, folder [f], -0, list -"},
        {{u"--files-from=l", u"-r", u"f"},
         u"--files-from 不能与 --recursive 同用 / --files-from cannot be combined with --recursive"},
        {{u"-0", u"f"}, u"-0 只用于 --files-from / -0 goes only with --files-from"},
        {{u"--help"}, u"help"},
        {{u"folder", u"-h"}, u"help"},
        {{}, u"缺少目录 / FOLDER is missing"},
        {{u"--head", u"H"}, u"缺少目录 / FOLDER is missing"},
        {{u"--verbose", u"f"}, u"未知选项 / unknown option: --verbose"},
        {{u"--headfile", u"f"}, u"未知选项 / unknown option: --headfile"},
        {{u"f", u"--tail"}, u"选项缺少参数 / option needs a value: --tail"},
        {{u"a", u"b"}, u"只能指定一个目录 / only one FOLDER may be given: b"},
        {{u"--head", u"A", u"--head-file", u"B", u"f"},
         u"头部或尾部内容只能指定一次 / head and tail may each be given once: --head-file"},
        {{u"--tail=A", u"--tail=B", u"f"},
         u"头部或尾部内容只能指定一次 / head and tail may each be given once: --tail=B"},
        {{u"--check", u"--head", u"H", u"f"}, u"check, head typed H, tail none, folder [f]"},
        {{u"--missing-only", u"--old-tail-file", u"o", u"--tail", u"T", u"f"},
         u"missing only, head none, tail typed T, old none/file o, folder [f]"},
        {{u"--check", u"--remove", u"f"},
         u"--check、--missing-only、--remove 只能选一个 / only one of --check, --missing-only and --remove may be "
         u"given: --remove"},
        {{u"--old-head", u"O", u"--tail", u"T", u"f"},
         u"旧的头部或尾部须与新的一同给出 / an old head or tail needs the new one beside it"},
        {{u"--remove", u"--old-head", u"O", u"--head", u"H", u"f"},
         u"旧的头部或尾部只能用于替换 / an old head or tail is only for a swap: --remove"}};
    for (const auto& [arguments, parsed] : cases) {
        EXPECT_EQ(Described(cli::ParseCommandLine(arguments)), parsed) << testing::PrintToString(arguments);
    }
}

}  // namespace
