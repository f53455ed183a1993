#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <utility>

#include "batch/add_head_tail.h"
#include "batch/undo_run.h"
#include "tests/support/test_folder.h"

namespace {

using OldTexts = std::optional<std::pair<std::u16string, std::u16string>>;

// Rewrites one file holding `before` in `mode` (a swap with `old`) and returns what it holds afterwards, or
// nothing when the rewrite was refused, which must leave the file as it was. A file that the mode leaves as
// it was must not have been written at all; one that a plain run rewrote holds `before` again once undone.
std::optional<std::string> Rewrite(std::u16string_view head, std::u16string_view tail, std::string_view before,
                                   RunMode mode, const OldTexts& old) {
    TestFolder folder;
    const auto path = folder.Write(u"f.txt", before);
    const auto stamp = platform::StampOf(path);
    const HeadTailTexts texts(head, tail);
    const HeadTailEdit edit(mode, texts,
                            old ? std::optional<HeadTailTexts>(std::in_place, old->first, old->second) : std::nullopt);
    HeadTailWriter writer(edit, {});
    std::vector<AddedTexts> added;
    writer.NoteAddedIn(&added);
    const auto status = writer.AddHeadTail(path, {});
    if ((mode != RunMode::Add || old) && folder.Read(u"f.txt") == before) {
        EXPECT_EQ(platform::StampOf(path).value(), stamp.value()) << "written though nothing changed";
    }
    EXPECT_EQ(NamesIn(folder.path()), std::vector<std::u16string>{u"f.txt"}) << "a temporary file was left behind";
    if (!status.ok()) {
        EXPECT_EQ(std::get<WriteProblem>(status.error()), WriteProblem::Unencodable);
        EXPECT_EQ(folder.Read(u"f.txt"), before);
        return std::nullopt;
    }
    const std::string after = folder.Read(u"f.txt");
    if (mode == RunMode::Add && !old) {
        EXPECT_EQ(UndoAdded(added, [](const BatchProgress&) {}).files_done, 1);
        EXPECT_EQ(folder.Read(u"f.txt"), before) << "not undone";
    }
    return after;
}

using namespace std::string_literals;
using namespace std::string_view_literals;

// "头" is U+5934 and "尾" U+5C3E: CD B7 and CE B2 in code page 936, E5 A4 B4 and E5 B0 BE in UTF-8.
// Files larger than one read are copied byte for byte, and their encoding is judged on all of it.
TEST(AddHeadTail, FramesTheFormerContentInTheFilesOwnEncoding) {
    const std::string garbage = "\x80\xFF\x00\xC0\xAF\xED\xA0\x80\xF5"s;  // valid in no encoding
    std::string utf8_body;
    while (utf8_body.size() < 3 * (1 << 20)) {
        utf8_body += "\xE4\xB8\xAD\xE6\x96\x87 text ";
    }
    const std::string tainted = utf8_body + "\xD6\xD0";  // one GBK character at the very end
    const std::string ascii(5 * (1 << 20) + 7, 'a');
    const std::string late = std::string(2 << 20, 'a') + "\xE4\xB8\xAD";  // UTF-8 only past the first read
    const std::string layer = "\xCD\xB7\r\nabc\r\n\xCE\xB2";
    const struct {
        std::u16string head, tail;
        std::string before;
        std::optional<std::string> after;
        RunMode mode = RunMode::Add;
        OldTexts old = std::nullopt;
    } cases[] = {
        {u"H", u"T", "abc", "H\r\nabc\r\nT"},
        {u"   ", u"T", "abc", "abc\r\nT"},
        {u"H", u"", "abc", "H\r\nabc"},
        {u"  H  ", u" T ", "abc", "H\r\nabc\r\nT"},
        {u"H\r\n", u"T", "abc", "H\r\n\r\nabc\r\nT"},
        {u"H", u"T", "abc\r\n", "H\r\nabc\r\n\r\nT"},
        {u"", u"", "abc", "abc"},
        {u"\tH \r\n  x  ", u"", "abc", "\tH \r\n  x\r\nabc"},        // only spaces, only at the two ends
        {u"\u3000H\u3000", u"", "abc", "\xA1\xA1H\xA1\xA1\r\nabc"},  // the ideographic space is kept
        {u"头", u"尾", "", "\xCD\xB7\r\n\r\n\xCE\xB2"},              // an empty file is ANSI
        {u"H", u"", "", "H\r\n"},
        {u"头", u"尾", "\xD6\xD0\xCE\xC4", "\xCD\xB7\r\n\xD6\xD0\xCE\xC4\r\n\xCE\xB2"},
        {u"头", u"尾", "plain ascii", "\xCD\xB7\r\nplain ascii\r\n\xCE\xB2"},
        {u"头", u"尾", "\xE4\xB8\xAD", "\xE5\xA4\xB4\r\n\xE4\xB8\xAD\r\n\xE5\xB0\xBE"},
        {u"头", u"尾", "\xEF\xBB\xBF\x61", "\xEF\xBB\xBF\xE5\xA4\xB4\r\na\r\n\xE5\xB0\xBE"},
        {u"头", u"尾", "\xFF\xFE\x61\0"s, "\xFF\xFE\x34\x59\r\0\n\0\x61\0\r\0\n\0\x3E\x5C"s},
        {u"头", u"尾", "\xFE\xFF\0a"s, "\xFE\xFF\x59\x34\0\r\0\n\0a\0\r\0\n\x5C\x3E"s},
        {u"头", u"", "\xFF\xFE\0\0\x61\0\0\0"s, "\xFF\xFE\0\0\x34\x59\0\0\r\0\0\0\n\0\0\0\x61\0\0\0"s},
        {u"", u"尾", "\0\0\xFE\xFF\0\0\0a"s, "\0\0\xFE\xFF\0\0\0a\0\0\0\r\0\0\0\n\0\0\x5C\x3E"s},
        {u"\U0001F600", u"", "\xFF\xFE\x61\0"s, "\xFF\xFE\x3D\xD8\x00\xDE\r\0\n\0\x61\0"s},
        {u"H", u"T", garbage, "H\r\n" + garbage + "\r\nT"},
        {u"头", u"", garbage, "\xCD\xB7\r\n" + garbage},
        {u"\U0001F600", u"", "\xD6\xD0\xCE\xC4", std::nullopt},                 // no emoji in code page 936
        {u"", std::u16string(1, u'\xDC00'), "\xEF\xBB\xBF\x61", std::nullopt},  // nor a lone surrogate in UTF-8
        {u"头", u"尾", utf8_body, "\xE5\xA4\xB4\r\n" + utf8_body + "\r\n\xE5\xB0\xBE"},
        {u"头", u"尾", tainted, "\xCD\xB7\r\n" + tainted + "\r\n\xCE\xB2"},
        {u"H", u"T", ascii, "H\r\n" + ascii + "\r\nT"},
        {u"头", u"尾", late, "\xE5\xA4\xB4\r\n" + late + "\r\n\xE5\xB0\xBE"},
        {u"\U0001F600", u"", late, "\xF0\x9F\x98\x80\r\n" + late},  // which ANSI could not hold
        // A second run over what the first added in ANSI, which is also valid UTF-8 by chance, keeps ANSI.
        {u"头", u"尾", layer, "\xCD\xB7\r\n" + layer + "\r\n\xCE\xB2"},
        {u"头", u"尾", "\xCD\xB7\r\n" + ascii + "\r\n\xCE\xB2",
         "\xCD\xB7\r\n\xCD\xB7\r\n" + ascii + "\r\n\xCE\xB2\r\n\xCE\xB2"},
        {u"头", u"尾", "\xCE\xB2", "\xE5\xA4\xB4\r\n\xCE\xB2\r\n\xE5\xB0\xBE"},  // no framing: UTF-8 as ever
        {u"H", u"T", "H\r\nabc\r\nT", "H\r\nabc\r\nT", RunMode::MissingOnly},
        {u"H", u"T", "H\nabc", "H\nabc\r\nT", RunMode::MissingOnly},
        {u"头", u"尾", "\xE5\xA4\xB4\r\n\xD6\xD0", "\xE5\xA4\xB4\r\n\xD6\xD0\r\n\xE5\xB0\xBE", RunMode::MissingOnly},
        {u"H", u"T", "H\r\nabc\r\nT\n", "abc", RunMode::Remove},
        {u"H", u"T", "H\r\n", "", RunMode::Remove},
        {u"H", u"T", "abc\r\nT\r\nT", "abc\r\nT", RunMode::Remove},
        {u"H", u"T", "abc", "abc", RunMode::Remove},
        {u"头", u"", "\xFF\xFE\x34\x59\r\0\n\0\x61"s, "\xFF\xFE\x61"s, RunMode::Remove},  // an odd length
        {u"H", u"T", ascii + "\r\nT", ascii, RunMode::Remove},
        {u"H", u"T", "O\nabc\r\nP", "H\r\nabc\r\nT", RunMode::Add, OldTexts({u"O", u"P"})},
        {u"H", u"T", "abc\r\nP", "abc\r\nT", RunMode::Add, OldTexts({u"O", u"P"})},
        {u"H", u"T", "abc", "abc", RunMode::Add, OldTexts({u"O", u"P"})},
        {u"H", u"T", "abc", "H\r\nabc\r\nT", RunMode::MissingOnly, OldTexts({u"O", u"P"})}};
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::PrintToString(row.before.substr(0, 40)));
        EXPECT_EQ(Rewrite(row.head, row.tail, row.before, row.mode, row.old), row.after);
    }
}

#ifdef _WIN32
// Offsets past 4 GiB, where a 32-bit size_t or DWORD would wrap: a sparse file with marks at its start, across
// the 4 GiB boundary (before and after the shift by the head) and at its end. The copy writes 4 GiB for real:
// Windows builds only, where the 32-bit program is; natively bench/run checks a 5 GiB file byte for byte.
TEST(AddHeadTail, FileBeyond4GiBKeepsEveryByteInItsPlace) {
    constexpr std::uint64_t k4GiB = std::uint64_t{1} << 32;
    constexpr std::uint64_t kSize = k4GiB + (1 << 20) + 3;
    TestFolder folder;
    const auto path = folder / u"big.txt";
    {
        std::ofstream file(path, std::ios::binary);
        for (const auto& [offset, mark] :
             {std::pair<std::uint64_t, std::string_view>{0, "start"}, {k4GiB - 4, "ACROSS4G"}, {kSize - 3, "end"}}) {
            file.seekp(static_cast<std::streamoff>(offset));
            file << mark;
        }
    }
    const HeadTailTexts texts(u"H", u"T");
    const auto rewritten = HeadTailWriter(texts).AddHeadTail(path, {});
    ASSERT_TRUE(rewritten.ok()) << "error " << std::get<platform::Error>(rewritten.error()).code
                                << "; the copy needs 4 GiB free";
    EXPECT_EQ(std::filesystem::file_size(path), kSize + 6);
    std::ifstream file(path, std::ios::binary);
    for (const auto& [offset, bytes] : {std::pair<std::uint64_t, std::string_view>{0, "H\r\nstart\0"sv},
                                        {k4GiB - 2, "\0ACROSS4G\0"sv},
                                        {kSize - 1, "\0end\r\nT"sv}}) {
        SCOPED_TRACE(offset);
        std::string read(bytes.size(), '?');
        file.seekg(static_cast<std::streamoff>(offset));
        file.read(read.data(), static_cast<std::streamsize>(read.size()));
        EXPECT_EQ(read, bytes);
    }
}
#endif

}  // namespace
