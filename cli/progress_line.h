#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cli {

// "3.4 MiB": a byte count in the largest binary unit that keeps it at or above 1.
std::u16string FormatBytes(std::uint64_t bytes);

// Terminal columns the text takes: East Asian wide characters take two.
int DisplayColumns(std::u16string_view text);

// One line of progress, "files done/total  bytes done  current file", at most `columns` columns wide; a file
// name that does not fit loses its beginning, since its end tells files apart.
std::u16string FormatProgress(std::int64_t files_done, std::int64_t file_count, std::uint64_t bytes_done,
                              std::u16string_view file_name, int columns);

}  // namespace cli
