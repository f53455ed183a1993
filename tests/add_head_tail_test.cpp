#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "batch/add_head_tail.h"
#include "batch/messages.h"
#include "tests/test_folder.h"

namespace {

// Rewrites one file holding `before` and returns what it holds afterwards.
std::string Rewrite(std::u16string_view head, std::u16string_view tail, std::string_view before) {
    TestFolder folder;
    const auto path = folder.Write(u"f.txt", before);
    HeadTailWriter writer(head, tail);
    const auto status = writer.AddHeadTail(path, {});
    EXPECT_TRUE(status.ok()) << "rewrite failed";
    EXPECT_EQ(folder.Names(), std::vector<std::u16string>{u"f.txt"}) << "a temporary file was left behind";
    return folder.Read(u"f.txt");
}

TEST(AddHeadTail, FramesTheFormerContentWithHeadAndTail) {
    EXPECT_EQ(Rewrite(u"H", u"T", "abc"), "H\r\nabc\r\nT");
    EXPECT_EQ(Rewrite(u"   ", u"T", "abc"), "abc\r\nT");
    EXPECT_EQ(Rewrite(u"H", u"", "abc"), "H\r\nabc");
    EXPECT_EQ(Rewrite(u"  H  ", u" T ", "abc"), "H\r\nabc\r\nT");
    EXPECT_EQ(Rewrite(u"H\r\n", u"T", "abc"), "H\r\n\r\nabc\r\nT");
    EXPECT_EQ(Rewrite(u"H", u"T", "abc\r\n"), "H\r\nabc\r\n\r\nT");
    EXPECT_EQ(Rewrite(u"", u"", "abc"), "abc");
}

TEST(AddHeadTail, TrimsOnlyPlainSpacesAtTheEndsOfTheWholeText) {
    EXPECT_EQ(Rewrite(u"\tH \r\n  x  ", u"", "abc"), "\tH \r\n  x\r\nabc");
    EXPECT_EQ(Rewrite(u"\u3000H\u3000", u"", "abc"), "\xA1\xA1H\xA1\xA1\r\nabc");  // ideographic space kept
}

TEST(AddHeadTail, EmptyFileTakesTheAnsiCodePage) {
    EXPECT_EQ(Rewrite(u"头", u"尾", ""), "\xCD\xB7\r\n\r\n\xCE\xB2");
    EXPECT_EQ(Rewrite(u"H", u"", ""), "H\r\n");
}

TEST(AddHeadTail, WritesHeadAndTailInTheFilesOwnEncoding) {
    // "头" U+5934 and "尾" U+5C3E.
    EXPECT_EQ(Rewrite(u"头", u"尾", "\xD6\xD0\xCE\xC4"), "\xCD\xB7\r\n\xD6\xD0\xCE\xC4\r\n\xCE\xB2");
    EXPECT_EQ(Rewrite(u"头", u"尾", "plain ascii"), "\xCD\xB7\r\nplain ascii\r\n\xCE\xB2");
    EXPECT_EQ(Rewrite(u"头", u"尾", "\xE4\xB8\xAD"), "\xE5\xA4\xB4\r\n\xE4\xB8\xAD\r\n\xE5\xB0\xBE");
    EXPECT_EQ(Rewrite(u"头", u"尾",
                      "\xEF\xBB\xBF"
                      "a"),
              "\xEF\xBB\xBF\xE5\xA4\xB4\r\na\r\n\xE5\xB0\xBE");
    EXPECT_EQ(Rewrite(u"头", u"尾",
                      std::string("\xFF\xFE"
                                  "a\0",
                                  4)),
              std::string("\xFF\xFE"
                          "\x34\x59\r\0\n\0"
                          "a\0"
                          "\r\0\n\0\x3E\x5C",
                          16));
    EXPECT_EQ(Rewrite(u"头", u"尾", std::string("\xFE\xFF\0a", 4)), std::string("\xFE\xFF"
                                                                                "\x59\x34\0\r\0\n"
                                                                                "\0a"
                                                                                "\0\r\0\n\x5C\x3E",
                                                                                16));
    EXPECT_EQ(Rewrite(u"头", u"",
                      std::string("\xFF\xFE\0\0"
                                  "a\0\0\0",
                                  8)),
              std::string("\xFF\xFE\0\0"
                          "\x34\x59\0\0\r\0\0\0\n\0\0\0"
                          "a\0\0\0",
                          20));
    EXPECT_EQ(Rewrite(u"", u"尾",
                      std::string("\0\0\xFE\xFF"
                                  "\0\0\0a",
                                  8)),
              std::string("\0\0\xFE\xFF"
                          "\0\0\0a"
                          "\0\0\0\r\0\0\0\n\0\0\x5C\x3E",
                          20));
    // Characters beyond the Basic Multilingual Plane take a surrogate pair in UTF-16.
    EXPECT_EQ(Rewrite(u"\U0001F600", u"",
                      std::string("\xFF\xFE"
                                  "a\0",
                                  4)),
              std::string("\xFF\xFE"
                          "\x3D\xD8\x00\xDE\r\0\n\0"
                          "a\0",
                          12));
}

TEST(AddHeadTail, KeepsBytesThatAreValidInNoEncoding) {
    const std::string garbage("\x80\xFF\x00\xC0\xAF\xED\xA0\x80\xF5", 9);
    EXPECT_EQ(Rewrite(u"H", u"T", garbage), "H\r\n" + garbage + "\r\nT");
    EXPECT_EQ(Rewrite(u"头", u"", garbage), "\xCD\xB7\r\n" + garbage);
}

// A file larger than one read is still copied byte for byte, and its encoding is judged on all of it.
TEST(AddHeadTail, LargeFilesAreCopiedWholeAndJudgedWhole) {
    const std::string utf8_body = [] {
        std::string body;
        while (body.size() < 3 * (1 << 20)) {
            body += "\xE4\xB8\xAD\xE6\x96\x87 text ";
        }
        return body;
    }();
    EXPECT_EQ(Rewrite(u"头", u"尾", utf8_body), "\xE5\xA4\xB4\r\n" + utf8_body + "\r\n\xE5\xB0\xBE");
    const std::string tainted = utf8_body + "\xD6\xD0";  // one GBK character at the very end
    EXPECT_EQ(Rewrite(u"头", u"尾", tainted), "\xCD\xB7\r\n" + tainted + "\r\n\xCE\xB2");
    const std::string ascii(5 * (1 << 20) + 7, 'a');
    EXPECT_EQ(Rewrite(u"H", u"T", ascii), "H\r\n" + ascii + "\r\nT");
}

TEST(AddHeadTail, RefusesWhatTheEncodingCannotHoldAndChangesNothing) {
    TestFolder folder;
    const auto gbk = folder.Write(u"gbk.txt", "\xD6\xD0\xCE\xC4");
    const std::vector<std::u16string> heads{u"\U0001F600", u"\u00C0", u"\u00B2", u"\uE000",
                                            std::u16string(1, u'\xD800')};
    for (const auto& head : heads) {
        HeadTailWriter writer(head, u"");
        const auto status = writer.AddHeadTail(gbk, {});
        ASSERT_FALSE(status.ok());
        EXPECT_EQ(status.error().text, messages::kUnencodable);
    }
    HeadTailWriter unpaired(u"", std::u16string(1, u'\xDC00'));
    const auto utf8 = folder.Write(u"utf8.txt",
                                   "\xEF\xBB\xBF"
                                   "a");
    EXPECT_FALSE(unpaired.AddHeadTail(utf8, {}).ok());
    EXPECT_EQ(folder.Read(u"gbk.txt"), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(folder.Read(u"utf8.txt"),
              "\xEF\xBB\xBF"
              "a");
    EXPECT_EQ(folder.Names(), (std::vector<std::u16string>{u"gbk.txt", u"utf8.txt"}));
}

TEST(AddHeadTail, ReadOnlyFileFailsUnchanged) {
    TestFolder folder;
    const auto path = folder.Write(u"ro.txt", "abc");
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    HeadTailWriter writer(u"H", u"T");
    const auto status = writer.AddHeadTail(path, {});
    ASSERT_FALSE(status.ok());
    EXPECT_FALSE(status.error().text.empty());
    EXPECT_EQ(folder.Read(u"ro.txt"), "abc");
    EXPECT_EQ(folder.Names(), std::vector<std::u16string>{u"ro.txt"});
}

TEST(AddHeadTail, FileWithSeveralNamesIsNotSplit) {
    TestFolder folder;
    const auto path = folder.Write(u"a.txt", "abc");
    std::filesystem::create_hard_link(path, folder / u"b.txt");
    HeadTailWriter writer(u"H", u"T");
    const auto status = writer.AddHeadTail(path, {});
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().text, messages::kHardLinked);
    EXPECT_EQ(folder.Read(u"a.txt"), "abc");
    EXPECT_EQ(folder.Names(), (std::vector<std::u16string>{u"a.txt", u"b.txt"}));
}

TEST(AddHeadTail, ReportsProgressInBytesOfFormerContent) {
    TestFolder folder;
    const auto path = folder.Write(u"big.txt", std::string(2 * (1 << 20) + 5, 'x'));
    std::vector<std::uint64_t> reports;
    HeadTailWriter writer(u"H", u"");
    ASSERT_TRUE(writer.AddHeadTail(path, [&](std::uint64_t bytes) { reports.push_back(bytes); }).ok());
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_EQ(reports.back(), 2u * (1 << 20) + 5);
}

// Another program acts on the file while its former content is being copied (after the first 1 MiB).
TEST(AddHeadTail, FileChangedWhileCopiedIsLeftAsTheOtherProgramMadeIt) {
    const std::string original(3 << 20, 'o');
    for (const std::string_view change : {"remove", "replace", "grow", "shrink"}) {
        TestFolder folder;
        const auto path = folder.Write(u"f.txt", original);
        std::string expected = original;
        bool acted = false;
        HeadTailWriter writer(u"H", u"T");
        const auto status = writer.AddHeadTail(path, [&](std::uint64_t) {
            if (std::exchange(acted, true)) {
                return;
            }
            if (change == "remove") {
                std::filesystem::remove(path);
            } else if (change == "replace") {
                const auto other = folder.Write(u"other.tmp", "theirs");
                std::error_code refused;  // Windows does not let a file that is open be replaced
                std::filesystem::rename(other, path, refused);
                expected = refused ? "H\r\n" + original + "\r\nT" : "theirs";
                if (refused) {
                    std::filesystem::remove(other);
                }
            } else {
                expected = change == "grow" ? original + "more" : original.substr(0, 100);
                WriteBytes(path, expected);
            }
        });
        EXPECT_EQ(status.ok(), expected.starts_with("H\r\n")) << change;
        if (change == "remove") {
            EXPECT_TRUE(folder.Names().empty()) << "a removed file must not come back";
        } else {
            EXPECT_EQ(folder.Read(u"f.txt"), expected) << change;
            EXPECT_EQ(folder.Names(), std::vector<std::u16string>{u"f.txt"}) << change;
        }
    }
}

TEST(AddHeadTail, MissingFileFails) {
    TestFolder folder;
    HeadTailWriter writer(u"H", u"T");
    EXPECT_FALSE(writer.AddHeadTail(folder / u"gone.txt", {}).ok());
    EXPECT_TRUE(folder.Names().empty()) << "a vanished file must not be created again";
}

}  // namespace
