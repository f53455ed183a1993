#include "cli/progress_line.h"

#include <cstdio>

namespace cli {
namespace {

std::u16string Ascii(const char* text) {
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

int ColumnsOf(char16_t c) {
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                      (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6);
    if (wide) {
        return 2;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) {
        return 0;  // the second half of a pair; the first half counts it
    }
    if (c >= 0xD800 && c <= 0xDBFF) {
        return 2;  // mostly ideographs and emoji outside the basic plane
    }
    return 1;
}

}  // namespace

std::u16string FormatBytes(std::uint64_t bytes) {
    static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    if (bytes < 1024) {
        return Ascii((std::to_string(bytes) + " B").c_str());
    }
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return Ascii(text);
}

int DisplayColumns(std::u16string_view text) {
    int columns = 0;
    for (const char16_t c : text) {
        columns += ColumnsOf(c);
    }
    return columns;
}

std::u16string FormatProgress(std::int64_t files_done, std::int64_t file_count, std::uint64_t bytes_done,
                              std::u16string_view file_name, int columns) {
    std::u16string line = Ascii((std::to_string(files_done) + "/" + std::to_string(file_count) + "  ").c_str());
    line += FormatBytes(bytes_done);
    line += u"  ";
    const int room = columns - DisplayColumns(line);
    if (DisplayColumns(file_name) <= room) {
        return line + std::u16string(file_name);
    }
    if (room < 2) {
        return line.substr(0, line.size() - 2);
    }

    // Keep the end of the name behind an ellipsis, whole characters only.
    std::size_t start = file_name.size();
    int used = 1;  // the ellipsis
    while (start > 0) {
        std::size_t previous = start - 1;
        if (previous > 0 && file_name[previous] >= 0xDC00 && file_name[previous] <= 0xDFFF) {
            --previous;
        }
        const int width = DisplayColumns(file_name.substr(previous, start - previous));
        if (used + width > room) {
            break;
        }
        used += width;
        start = previous;
    }
    return line + u"…" + std::u16string(file_name.substr(start));
}

}  // namespace cli
