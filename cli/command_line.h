#pragma once

#include <string>
#include <variant>
#include <vector>

// The command line of varnotta-cli:
//   varnotta-cli [--head TEXT | --head-file FILE] [--tail TEXT | --tail-file FILE]
//                [-r] [--include GLOB]... [--exclude GLOB]... [--files-from FILE|- [-0]] FOLDER

namespace cli {

// Where a head or tail text comes from.
struct TextSource {
    enum class Kind { None, Typed, File };
    Kind kind = Kind::None;
    std::u16string value;  // the text itself, or the name of the file that holds it
};

struct Options {
    TextSource head;
    TextSource tail;
    std::u16string folder;  // as typed: the batch run trims it exactly as it trims the window's path box
    bool recursive = false;
    std::vector<std::u16string> include;  // patterns as typed
    std::vector<std::u16string> exclude;
    std::u16string files_from;  // the list's file, "-" for standard input; empty: no list
    bool null_separated = false;
};

struct HelpRequested {};

// Why the command line cannot be used, in a line that names the offending argument.
struct UsageError {
    std::u16string text;
};

using ParsedCommandLine = std::variant<Options, HelpRequested, UsageError>;

// `arguments` excludes the program's own name.
ParsedCommandLine ParseCommandLine(const std::vector<std::u16string>& arguments);

}  // namespace cli
