#include "cli/box_text.h"

#include <gtest/gtest.h>

using namespace std::string_view_literals;

namespace {

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
