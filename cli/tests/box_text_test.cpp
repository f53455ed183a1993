#include "cli/box_text.h"

#include <gtest/gtest.h>

using namespace std::string_view_literals;

namespace {

TEST(Utf16FromUtf8Test, DecodesEveryLengthOfSequence) {
    EXPECT_EQ(cli::Utf16FromUtf8("a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"), u"a\u00E9\u4E2D\U0001F600");
    EXPECT_EQ(cli::Utf16FromUtf8(std::string_view("\0x", 2)), std::u16string(u"\0x", 2));
    EXPECT_EQ(cli::Utf16FromUtf8("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
    EXPECT_EQ(cli::Utf16FromUtf8(""), u"");
}

TEST(Utf16FromUtf8Test, RefusesWhatIsNotStrictUtf8) {
    for (const char* bytes : {"\xC0\xAF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                              "\xE4\xB8", "\x80", "\xFF", "\xC4\xE3\xBA\xC3" /* GBK for 你好 */}) {
        EXPECT_FALSE(cli::Utf16FromUtf8(bytes).has_value()) << testing::PrintToString(std::string(bytes));
    }
}

TEST(BoxTextFromFileTest, LineBreaksBecomeCrLfAndTheLastOneIsDropped) {
    EXPECT_EQ(cli::BoxTextFromFile("one\ntwo\n"), u"one\r\ntwo");
    EXPECT_EQ(cli::BoxTextFromFile("one\r\ntwo\r\n"), u"one\r\ntwo");
    EXPECT_EQ(cli::BoxTextFromFile("one\rtwo"), u"one\r\ntwo");
    EXPECT_EQ(cli::BoxTextFromFile("one\n\r\n\rtwo"), u"one\r\n\r\n\r\ntwo");
    // A file that ends in an empty line keeps one line break: the head is followed by an empty line.
    EXPECT_EQ(cli::BoxTextFromFile("head\n\n"), u"head\r\n");
    EXPECT_EQ(cli::BoxTextFromFile("\n"), u"");
    EXPECT_EQ(cli::BoxTextFromFile(""), u"");
    // Spaces are the batch run's to trim, exactly as it trims the window's boxes.
    EXPECT_EQ(cli::BoxTextFromFile("  padded  \n"), u"  padded  ");
}

TEST(BoxTextFromFileTest, ByteOrderMarkIsSkippedOnlyAtTheStart) {
    EXPECT_EQ(cli::BoxTextFromFile("\xEF\xBB\xBF\xE6\xA0\x87\xE9\xA2\x98\n"), u"标题");
    EXPECT_EQ(cli::BoxTextFromFile("a\xEF\xBB\xBF"), u"a\uFEFF");
    EXPECT_FALSE(cli::BoxTextFromFile("\xEF\xBB\xBF\xB1\xEA\xCC\xE2").has_value());  // GBK after a UTF-8 mark
    EXPECT_FALSE(cli::BoxTextFromFile("\xFF\xFEh\0"sv).has_value());                 // UTF-16 is not accepted
}

}  // namespace
