#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "batch/head_tail_edit.h"

// The command line of varnotta-cli:
//   varnotta-cli [--check | --missing-only | --remove] [--head TEXT | --head-file FILE]
//                [--tail TEXT | --tail-file FILE] [--old-head TEXT | --old-head-file FILE]
//                [--old-tail TEXT | --old-tail-file FILE]
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
    TextSource old_head;  // given for a swap
    TextSource old_tail;
    RunMode mode = RunMode::Add;
    std::u16string folder;  // as typed: the batch run trims it exactly as it trims the window's path box
    bool recursive = false;
    std::vector<std::u16string> include;  // patterns as typed
    std::vector<std::u16string> exclude;
    std::u16string files_from;  // the list's file, "-" for standard input; empty: no list
    bool null_separated = false;

    bool swap() const { return old_head.kind != TextSource::Kind::None || old_tail.kind != TextSource::Kind::None; }
};

// The four texts once read, as typed or as their files hold them.
struct Texts {
    std::u16string head;
    std::u16string tail;
    std::u16string old_head;
    std::u16string old_tail;
};

struct HelpRequested {};

// Why the command line cannot be used, in a line that names the offending argument.
struct UsageError {
    std::u16string text;
};

using ParsedCommandLine = std::variant<Options, HelpRequested, UsageError>;

// `arguments` excludes the program's own name.
ParsedCommandLine ParseCommandLine(const std::vector<std::u16string>& arguments);

// What is wrong with the texts for the mode, once they are read: nothing when they can be used.
std::optional<UsageError> CheckTexts(const Options& options, const Texts& texts);

// The most bytes a head or tail file may hold.
inline constexpr std::size_t kMostTextFileBytes = std::size_t{16} << 20;

}  // namespace cli
