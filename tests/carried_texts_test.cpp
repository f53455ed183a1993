#include "batch/carried_texts.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

// Where a file of a few bytes carries the head and the tail: "head bytes/tail bytes", "-" where it does not.
std::string Found(std::u16string_view head, std::u16string_view tail, std::string_view file) {
    const Carried carried = FindCarried({file, file, file.size()}, CarriedText(head), CarriedText(tail));
    const auto length = [](const std::optional<CarriedPart>& part) {
        return part ? std::to_string(part->length) : "-";
    };
    return length(carried.head) + "/" + length(carried.tail);
}

// "头" is CD B7 in code page 936 and E5 A4 B4 in UTF-8; "尾" CE B2 and E5 B0 BE.
TEST(CarriedTexts, FoundOnEncodedBytesAtBothEnds) {
    const struct {
        std::u16string head, tail;
        std::string file;
        std::string found;
    } cases[] = {
        {u"H", u"T", "H\r\nabc\r\nT", "3/3"},
        {u"H", u"T", "H\nabc\nT\n", "2/3"},            // lone LFs, and one more line break after the tail
        {u"H", u"T", "H\r\nabc\r\nT\r\n", "3/5"},      // the CR LF after the tail is taken whole
        {u"H", u"T", "Habc\r\nTx", "-/-"},             // no line break after the head, text after the tail
        {u"H", u"T", "H\rabc\rT", "-/-"},              // a lone CR is no line break
        {u"H", u"T", "H\r\nabc\r\nT\r\n\r\n", "3/-"},  // only one line break may follow the tail
        {u"A\r\nB", u"C\r\nD", "A\nB\r\nx\r\nC\nD", "5/5"},
        {u"A\r", u"T", "A\r\nb", "-/-"},       // the file's CR LF cannot be split into the text's CR
        {u"", u"", "abc", "0/0"},              // a blank text is always carried
        {u"H", u"H", "H\r\n\r\nH", "3/3"},     // a head equal to the tail, around an empty file
        {u"H", u"H", "H\r\n", "3/-"},          // a file that is only the head: the tail comes after it
        {u"H", u"T", "H\r\nH\r\nabc", "3/-"},  // a body that begins with the head's text
        {u"头", u"尾", "\xCD\xB7\r\nabc\r\n\xCE\xB2", "4/4"},
        {u"头", u"尾", "\xE5\xA4\xB4\r\nabc\r\n\xE5\xB0\xBE", "5/5"},
        {u"头", u"尾", "\xEF\xBB\xBF\xE5\xA4\xB4\r\nabc\r\n\xE5\xB0\xBE", "5/5"},
        {u"头", u"尾", "\xEF\xBB\xBF\xCD\xB7\r\nabc", "-/-"},  // after a mark only its encoding counts
        {u"头", u"尾", "\xFF\xFE\x34\x59\r\0\n\0a\0\n\0\x3E\x5C"s, "6/4"},
        {u"头", u"尾", "\xFE\xFF\x59\x34\0\n\0a\0\r\0\n\x5C\x3E"s, "4/6"},
        {u"H", u"", "\xFF\xFE\0\0H\0\0\0\r\0\0\0\n\0\0\0"s, "12/0"},
        {u"\U0001F600", u"", "\xF0\x9F\x98\x80\r\nx", "6/0"},  // only in UTF-8, which the code page cannot hold
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::PrintToString(row.file));
        EXPECT_EQ(Found(row.head, row.tail, row.file), row.found);
    }
}

}  // namespace
