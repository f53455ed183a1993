#include "platform/unicode.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8ToUtf16, DecodesEveryLengthOfSequence) {
    EXPECT_EQ(platform::Utf8ToUtf16("a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80"), u"a\u00E9\u4E2D\U0001F600");
    EXPECT_EQ(platform::Utf8ToUtf16(std::string_view("\0x", 2)), std::u16string(u"\0x", 2));
    EXPECT_EQ(platform::Utf8ToUtf16("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
    EXPECT_EQ(platform::Utf8ToUtf16(""), u"");
}

TEST(Utf8ToUtf16, RefusesWhatIsNotStrictUtf8) {
    for (const char* bytes : {"\xC0\xAF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                              "\xE4\xB8", "\x80", "\xFF", "\xC4\xE3\xBA\xC3" /* GBK for 你好 */}) {
        EXPECT_FALSE(platform::Utf8ToUtf16(bytes).has_value()) << testing::PrintToString(std::string(bytes));
    }
}

// Names and messages that cannot be converted exactly still show, with U+FFFD in place of the damage.
TEST(LenientConversion, ReplacesOnlyWhatIsBroken) {
    EXPECT_EQ(platform::Utf8ToUtf16Lenient("a\xFF"
                                           "b\xE4\xB8\xAD\xE4\xB8"),
              u"a\uFFFDb\u4E2D\uFFFD\uFFFD");
    const std::u16string broken = u"x" + std::u16string(1, u'\xD800') + u"y\U0001F600" + std::u16string(1, u'\xDC00');
    EXPECT_EQ(platform::Utf16ToUtf8Lenient(broken), "x\xEF\xBF\xBDy\xF0\x9F\x98\x80\xEF\xBF\xBD");
    EXPECT_FALSE(platform::Utf16ToUtf8(broken).has_value());
}

}  // namespace
