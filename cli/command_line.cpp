#include "cli/command_line.h"

#include <string_view>

namespace cli {
namespace {

struct TextOption {
    std::u16string_view typed;  // --head
    std::u16string_view file;   // --head-file
    TextSource Options::*source;
};

constexpr TextOption kTextOptions[] = {
    {u"--head", u"--head-file", &Options::head},
    {u"--tail", u"--tail-file", &Options::tail},
};

UsageError Error(std::u16string_view chinese, std::u16string_view english, std::u16string_view argument) {
    std::u16string text(chinese);
    text += u" / ";
    text += english;
    if (!argument.empty()) {
        text += u": ";
        text += argument;
    }
    return {text};
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::u16string>& arguments) {
    Options options;
    bool have_folder = false;
    bool options_ended = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::u16string_view argument = arguments[i];
        const bool looks_like_option = !options_ended && argument.size() > 1 && argument[0] == u'-';
        if (!looks_like_option) {
            if (have_folder) {
                return Error(u"只能指定一个目录", u"only one FOLDER may be given", argument);
            }
            options.folder = argument;
            have_folder = true;
            continue;
        }
        if (argument == u"--") {
            options_ended = true;
            continue;
        }
        if (argument == u"--help" || argument == u"-h") {
            return HelpRequested{};
        }

        // --name VALUE or --name=VALUE; the value is taken as typed, even when it starts with "-".
        const std::size_t equals = argument.find(u'=');
        const std::u16string_view name = argument.substr(0, equals);
        const TextOption* matched = nullptr;
        bool from_file = false;
        for (const TextOption& option : kTextOptions) {
            if (name == option.typed || name == option.file) {
                matched = &option;
                from_file = name == option.file;
            }
        }
        if (matched == nullptr) {
            return Error(u"未知选项", u"unknown option", argument);
        }
        TextSource& source = options.*(matched->source);
        if (source.kind != TextSource::Kind::None) {
            return Error(u"头部或尾部内容只能指定一次", u"head and tail may each be given once", argument);
        }
        if (equals != std::u16string_view::npos) {
            source.value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            source.value = arguments[++i];
        } else {
            return Error(u"选项缺少参数", u"option needs a value", argument);
        }
        source.kind = from_file ? TextSource::Kind::File : TextSource::Kind::Typed;
    }
    if (!have_folder) {
        return Error(u"缺少目录", u"FOLDER is missing", u"");
    }
    return options;
}

}  // namespace cli
