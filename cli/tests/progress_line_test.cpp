#include "cli/progress_line.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgressLineTest, BytesInBinaryUnits) {
    const std::pair<std::uint64_t, std::u16string> sizes[] = {
        {0, u"0 B"},           {1023, u"1023 B"},        {1024, u"1.0 KiB"},
        {3565158, u"3.4 MiB"}, {5ull << 30, u"5.0 GiB"}, {3ull << 50, u"3072.0 TiB"}};
    for (const auto& [bytes, text] : sizes) {
        EXPECT_EQ(cli::FormatBytes(bytes), text);
    }
}

TEST(ProgressLineTest, LongNamesKeepTheirEndAndNeverPassTheWidth) {
    const std::u16string name = u"很长的文件名" + std::u16string(60, u'x') + u"-end.txt";
    for (int columns = 10; columns <= 90; ++columns) {
        const std::u16string line = cli::FormatProgress(7, 9, 100, name, columns);
        EXPECT_LE(cli::DisplayColumns(line), columns) << columns;
        EXPECT_TRUE(line.starts_with(u"7/9  100 B")) << columns;
        if (columns >= 21 && columns <= 81) {  // the kept end is all ASCII
            EXPECT_TRUE(line.ends_with(u"…" + name.substr(name.size() - (columns - 13)))) << columns;
        }
    }
    // Wide characters take two columns, and the cut falls between whole characters: a wide character that does
    // not fit is left out whole.
    EXPECT_EQ(cli::FormatProgress(1, 1, 1, u"甲乙丙丁戊", 17), u"1/1  1 B  …丙丁戊");
    EXPECT_EQ(cli::FormatProgress(1, 1, 1, u"甲乙丙丁戊", 16), u"1/1  1 B  …丁戊");
    EXPECT_EQ(cli::FormatProgress(1, 1, 1, u"a\U00020000\U00020001", 14), u"1/1  1 B  …\U00020001");
    EXPECT_EQ(cli::FormatProgress(1, 1, 1, u"a\U00020000\U00020001", 15), u"1/1  1 B  a\U00020000\U00020001");
}

}  // namespace
