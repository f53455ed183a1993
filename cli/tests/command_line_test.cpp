#include "cli/command_line.h"

#include <gtest/gtest.h>

namespace {

using cli::TextSource;

cli::Options Parsed(const std::vector<std::u16string>& arguments) {
    const auto parsed = cli::ParseCommandLine(arguments);
    if (const auto* error = std::get_if<cli::UsageError>(&parsed)) {
        ADD_FAILURE() << "usage error: " << testing::PrintToString(error->text);
    }
    return std::get_if<cli::Options>(&parsed) ? std::get<cli::Options>(parsed) : cli::Options{};
}

std::u16string UsageErrorOf(const std::vector<std::u16string>& arguments) {
    const auto parsed = cli::ParseCommandLine(arguments);
    const auto* error = std::get_if<cli::UsageError>(&parsed);
    return error ? error->text : u"<accepted>";
}

TEST(CommandLineTest, TextsAndFilesInBothSpellings) {
    const cli::Options options = Parsed({u"--head", u"标题", u"--tail-file=t.txt", u"D:\\notes"});
    EXPECT_EQ(options.head.kind, TextSource::Kind::Typed);
    EXPECT_EQ(options.head.value, u"标题");
    EXPECT_EQ(options.tail.kind, TextSource::Kind::File);
    EXPECT_EQ(options.tail.value, u"t.txt");
    EXPECT_EQ(options.folder, u"D:\\notes");

    const cli::Options reversed = Parsed({u"notes", u"--tail", u"T", u"--head-file", u"h.txt"});
    EXPECT_EQ(reversed.head.kind, TextSource::Kind::File);
    EXPECT_EQ(reversed.head.value, u"h.txt");
    EXPECT_EQ(reversed.tail.value, u"T");
    EXPECT_EQ(reversed.folder, u"notes");
}

TEST(CommandLineTest, ValuesAndFolderAreTakenAsTyped) {
    // A value may start with a dash or hold "=" and spaces; the folder keeps its spaces for the run to trim.
    const cli::Options options = Parsed({u"--head", u"--- a = b ---", u"--tail=x=y", u"  my folder  "});
    EXPECT_EQ(options.head.value, u"--- a = b ---");
    EXPECT_EQ(options.tail.value, u"x=y");
    EXPECT_EQ(options.folder, u"  my folder  ");
    const cli::Options empty = Parsed({u"--head=", u"f"});
    EXPECT_EQ(empty.head.kind, TextSource::Kind::Typed);
    EXPECT_EQ(empty.head.value, u"");
}

TEST(CommandLineTest, NoHeadOrTailGivenMeansNone) {
    const cli::Options options = Parsed({u"folder"});
    EXPECT_EQ(options.head.kind, TextSource::Kind::None);
    EXPECT_EQ(options.tail.kind, TextSource::Kind::None);
    EXPECT_EQ(Parsed({u""}).folder, u"");  // an empty folder argument is the run's to refuse
    EXPECT_EQ(Parsed({u"-"}).folder, u"-");
}

TEST(CommandLineTest, DoubleDashEndsOptions) {
    EXPECT_EQ(Parsed({u"--head", u"H", u"--", u"--help"}).folder, u"--help");
    EXPECT_EQ(Parsed({u"--", u"-folder"}).folder, u"-folder");
}

TEST(CommandLineTest, HelpWinsWherePossible) {
    EXPECT_TRUE(std::holds_alternative<cli::HelpRequested>(cli::ParseCommandLine({u"--help"})));
    EXPECT_TRUE(std::holds_alternative<cli::HelpRequested>(cli::ParseCommandLine({u"folder", u"-h"})));
}

TEST(CommandLineTest, WrongUsageNamesTheArgument) {
    EXPECT_EQ(UsageErrorOf({}), u"缺少目录 / FOLDER is missing");
    EXPECT_EQ(UsageErrorOf({u"--head", u"H"}), u"缺少目录 / FOLDER is missing");
    EXPECT_EQ(UsageErrorOf({u"--verbose", u"f"}), u"未知选项 / unknown option: --verbose");
    EXPECT_EQ(UsageErrorOf({u"--headfile", u"f"}), u"未知选项 / unknown option: --headfile");
    EXPECT_EQ(UsageErrorOf({u"f", u"--tail"}), u"选项缺少参数 / option needs a value: --tail");
    EXPECT_EQ(UsageErrorOf({u"a", u"b"}), u"只能指定一个目录 / only one FOLDER may be given: b");
    EXPECT_EQ(UsageErrorOf({u"--head", u"A", u"--head-file", u"B", u"f"}),
              u"头部或尾部内容只能指定一次 / head and tail may each be given once: --head-file");
    EXPECT_EQ(UsageErrorOf({u"--tail=A", u"--tail=B", u"f"}),
              u"头部或尾部内容只能指定一次 / head and tail may each be given once: --tail=B");
}

}  // namespace
