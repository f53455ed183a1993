#include "cli/name_list.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// Names from a list in each encoding and separation; a list in no valid encoding gives nothing.
TEST(ForEachListedName, DecodesAndSplits) {
    using Names = std::vector<std::u16string>;
    const struct {
        std::string bytes;
        bool null_separated;
        std::optional<Names> names;
    } cases[] = {
        {"a.txt\r\nsub/\xE6\xA0\x87.txt\n\nlast", false, Names{u"a.txt", u"sub/标.txt", u"last"}},
        {"\xEF\xBB\xBF"
         "a b.txt\n",
         false, Names{u"a b.txt"}},
        {std::string("a\nb\0c\r\0", 7), true, Names{u"a\nb", u"c\r"}},
        {std::string("\xFF\xFE"
                     "a\0\n\0\x07\x68",
                     8),
         false, Names{u"a", u"标"}},
        {std::string("\xFE\xFF\0a\0\n\x68\x07", 8), false, Names{u"a", u"标"}},
        {"\xB1\xEA", false, std::nullopt},                          // code page 936
        {std::string("\xFF\xFE\x00\xD8", 4), false, std::nullopt},  // an unpaired surrogate
        {"\xFF\xFE"
         "a",
         false, std::nullopt},  // half a unit
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::PrintToString(row.bytes));
        Names names;
        const bool decoded = cli::ForEachListedName(row.bytes, row.null_separated,
                                                    [&](std::u16string_view name) { names.emplace_back(name); });
        EXPECT_EQ(decoded ? std::optional(names) : std::nullopt, row.names);
    }
}

}  // namespace
