#include "cli/command_line.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "batch/trim.h"

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
    {u"--old-head", u"--old-head-file", &Options::old_head},
    {u"--old-tail", u"--old-tail-file", &Options::old_tail},
};

struct ModeOption {
    std::u16string_view name;
    RunMode mode;
};

constexpr ModeOption kModeOptions[] = {
    {u"--check", RunMode::Check},
    {u"--missing-only", RunMode::MissingOnly},
    {u"--remove", RunMode::Remove},
};

// Options without a value.
struct FlagOption {
    std::u16string_view name;
    std::u16string_view short_name;
    bool Options::*flag;
};

constexpr FlagOption kFlagOptions[] = {
    {u"--recursive", u"-r", &Options::recursive},
    {u"--null", u"-0", &Options::null_separated},
};

// Options that may be given again and again, each time with one more value.
struct RepeatedOption {
    std::u16string_view name;
    std::vector<std::u16string> Options::*values;
};

constexpr RepeatedOption kRepeatedOptions[] = {
    {u"--include", &Options::include},
    {u"--exclude", &Options::exclude},
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

const ModeOption* ModeNamed(std::u16string_view name) {
    for (const ModeOption& option : kModeOptions) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

// The combinations of mode and texts that cannot be run, found once the whole line is read.
std::optional<UsageError> CheckCombination(const Options& options) {
    const bool has_head = options.head.kind != TextSource::Kind::None;
    const bool has_tail = options.tail.kind != TextSource::Kind::None;
    if ((options.old_head.kind != TextSource::Kind::None && !has_head) ||
        (options.old_tail.kind != TextSource::Kind::None && !has_tail)) {
        return Error(u"旧的头部或尾部须与新的一同给出", u"an old head or tail needs the new one beside it", u"");
    }
    if (options.swap() && (options.mode == RunMode::Check || options.mode == RunMode::Remove)) {
        return Error(u"旧的头部或尾部只能用于替换", u"an old head or tail is only for a swap",
                     options.mode == RunMode::Check ? u"--check" : u"--remove");
    }
    return std::nullopt;
}

// A text that would read as a byte-order mark, which the modes that look for texts in files cannot tell
// from one.
bool StartsLikeMark(std::u16string_view text) {
    const std::u16string_view trimmed = TrimSpaces(text);
    return !trimmed.empty() && (trimmed[0] == u'\uFEFF' || trimmed[0] == u'\0');
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
        if (const ModeOption* mode = ModeNamed(argument)) {
            if (options.mode != RunMode::Add) {
                return Error(u"--check、--missing-only、--remove 只能选一个",
                             u"only one of --check, --missing-only and --remove may be given", argument);
            }
            options.mode = mode->mode;
            continue;
        }

        const auto flag = std::find_if(std::begin(kFlagOptions), std::end(kFlagOptions), [&](const FlagOption& option) {
            return argument == option.name || argument == option.short_name;
        });
        if (flag != std::end(kFlagOptions)) {
            options.*(flag->flag) = true;
            continue;
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
        const auto repeated = std::find_if(std::begin(kRepeatedOptions), std::end(kRepeatedOptions),
                                           [&](const RepeatedOption& option) { return name == option.name; });
        const bool list = name == u"--files-from";
        if (matched == nullptr && repeated == std::end(kRepeatedOptions) && !list) {
            return Error(u"未知选项", u"unknown option", argument);
        }
        std::u16string value;
        if (equals != std::u16string_view::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            return Error(u"选项缺少参数", u"option needs a value", argument);
        }
        if (repeated != std::end(kRepeatedOptions)) {
            (options.*(repeated->values)).push_back(std::move(value));
            continue;
        }
        if (list) {
            if (!options.files_from.empty() || value.empty()) {
                return Error(u"文件列表只能指定一次且不能为空", u"--files-from takes one FILE, once", argument);
            }
            options.files_from = std::move(value);
            continue;
        }
        TextSource& source = options.*(matched->source);
        if (source.kind != TextSource::Kind::None) {
            return Error(u"头部或尾部内容只能指定一次", u"head and tail may each be given once", argument);
        }
        source.value = std::move(value);
        source.kind = from_file ? TextSource::Kind::File : TextSource::Kind::Typed;
    }
    if (!options.files_from.empty() && options.recursive) {
        return Error(u"--files-from 不能与 --recursive 同用", u"--files-from cannot be combined with --recursive", u"");
    }
    if (options.null_separated && options.files_from.empty()) {
        return Error(u"-0 只用于 --files-from", u"-0 goes only with --files-from", u"");
    }
    if (!have_folder) {
        return Error(u"缺少目录", u"FOLDER is missing", u"");
    }
    if (auto wrong = CheckCombination(options)) {
        return *wrong;
    }
    return options;
}

std::optional<UsageError> CheckTexts(const Options& options, const Texts& texts) {
    if (options.mode == RunMode::Remove && IsBlank(texts.head) && IsBlank(texts.tail)) {
        return Error(u"--remove 需要非空的头部或尾部", u"--remove needs a head or a tail that is not blank", u"");
    }
    if (options.mode == RunMode::Add && !options.swap()) {
        return std::nullopt;
    }
    for (const std::u16string* text : {&texts.head, &texts.tail, &texts.old_head, &texts.old_tail}) {
        if (StartsLikeMark(*text)) {
            return Error(u"头部或尾部不能以 U+FEFF 或 U+0000 开头",
                         u"a head or tail may not begin with U+FEFF or U+0000", u"");
        }
    }
    return std::nullopt;
}

}  // namespace cli
