#include <gtest/gtest.h>

#include "platform/code_page.h"

namespace {

// Both builds must accept the same characters and give the same bytes for code page 936.
TEST(CodePage, EncodesCodePage936Exactly) {
    EXPECT_EQ(platform::EncodeAnsi(u"中文abc"), std::optional<std::string>("\xD6\xD0\xCE\xC4"
                                                                           "abc"));
    EXPECT_EQ(platform::EncodeAnsi(u"€"), std::optional<std::string>("\x80"));
    EXPECT_EQ(platform::EncodeAnsi(u"\u3000、"), std::optional<std::string>("\xA1\xA1\xA1\xA2"));
    EXPECT_EQ(platform::EncodeAnsi(u""), std::optional<std::string>(""));
}

TEST(CodePage, RefusesInsteadOfSubstituting) {
    // No best-fit look-alikes, no private-use mappings, nothing outside the code page, no lone surrogates.
    for (const std::u16string text :
         {u"\u00C0", u"\u00B2", u"\uE000", u"\uE864", u"\uF8F5", u"\U0001F600", u"ok\u0E01"}) {
        EXPECT_FALSE(platform::EncodeAnsi(text).has_value()) << static_cast<int>(text[0]);
    }
    EXPECT_FALSE(platform::EncodeAnsi(std::u16string(1, u'\xD800')).has_value());
}

TEST(CodePage, DecodesAndRefusesMalformedBytes) {
    EXPECT_EQ(platform::DecodeAnsi("\xD6\xD0\xCE\xC4"
                                   "abc"),
              std::optional<std::u16string>(u"中文abc"));
    EXPECT_FALSE(platform::DecodeAnsi("\xD6").has_value()) << "a lead byte without its trail byte";
    const std::u16string sample = u"头部内容: 尾部，。！";
    EXPECT_EQ(platform::DecodeAnsi(platform::EncodeAnsi(sample).value()), std::optional<std::u16string>(sample));
}

}  // namespace
