#include "cli/box_text.h"

#include <gtest/gtest.h>

using namespace std::string_view_literals;

namespace {

// What a --head-file or --tail-file holds, and the text it gives the run: line breaks become CR LF and the
// last one is dropped; spaces are the run's to trim; a UTF-8 mark is skipped at the start only; anything
// that is not UTF-8 is refused.
TEST(BoxTextFromFile, IsWhatTheWindowsBoxWouldHold) {
    const std::pair<std::string_view, std::optional<std::u16string>> cases[] = {
        {"one\ntwo\n", u"one\r\ntwo"},
        {"one\r\ntwo\r\n", u"one\r\ntwo"},
        {"one\rtwo", u"one\r\ntwo"},
        {"one\n\r\n\rtwo", u"one\r\n\r\n\r\ntwo"},
        {"head\n\n", u"head\r\n"},  // ends in an empty line: the head is followed by one
        {"\n", u""},
        {"", u""},
        {"  padded  \n", u"  padded  "},
        {"\xEF\xBB\xBF\xE6\xA0\x87\xE9\xA2\x98\n", u"标题"},
        {"a\xEF\xBB\xBF", u"a\uFEFF"},
        {"\xEF\xBB\xBF\xB1\xEA\xCC\xE2", std::nullopt},  // GBK after a UTF-8 mark
        {"\xFF\xFEh\0"sv, std::nullopt}};                // UTF-16
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(cli::BoxTextFromFile(bytes), text) << testing::PrintToString(std::string(bytes));
    }
}

}  // namespace
