#include <gtest/gtest.h>

#include "platform/code_page.h"

namespace {

// Both builds must accept the same characters and give the same bytes for code page 936, both ways. No
// best-fit look-alikes, no private-use mappings, nothing outside the code page, no lone surrogates.
TEST(CodePage, EncodesAndDecodesCodePage936Exactly) {
    const std::pair<std::u16string, std::string> cases[] = {
        {u"abc中文", "abc\xD6\xD0\xCE\xC4"},
        {u"€", "\x80"},
        {u"\u3000、", "\xA1\xA1\xA1\xA2"},
        {u"", ""},
        {u"头部内容: 尾部，。！", "\xCD\xB7\xB2\xBF\xC4\xDA\xC8\xDD: \xCE\xB2\xB2\xBF\xA3\xAC\xA1\xA3\xA3\xA1"}};
    for (const auto& [text, bytes] : cases) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        EXPECT_EQ(platform::EncodeAnsi(text), std::optional<std::string>(bytes));
        EXPECT_EQ(platform::DecodeAnsi(bytes), std::optional<std::u16string>(text));
    }
    for (const std::u16string text :
         {u"\u00C0", u"\u00B2", u"\uE000", u"\uE864", u"\uF8F5", u"\U0001F600", u"ok\u0E01", u"\xD800"}) {
        EXPECT_FALSE(platform::EncodeAnsi(text).has_value()) << static_cast<int>(text.back());
    }
    EXPECT_FALSE(platform::DecodeAnsi("\xD6").has_value()) << "a lead byte without its trail byte";
}

}  // namespace
