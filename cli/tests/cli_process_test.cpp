// varnotta-cli as a user meets it: a separate process, its exit status, what it prints and what it does to
// the files.

#include <gtest/gtest.h>

#include "batch/messages.h"
#include "child_process.h"
#include "tests/test_folder.h"

namespace {

using namespace std::string_literals;

std::u16string Text(const std::filesystem::path& path) {
    return path.u16string();
}

// The folder's files, bytes and names, so that a test can see nothing was touched.
std::vector<std::pair<std::u16string, std::string>> Snapshot(const TestFolder& folder) {
    std::vector<std::pair<std::u16string, std::string>> files;
    for (const std::u16string& name : folder.Names()) {
        files.emplace_back(name, folder.Read(name));
    }
    return files;
}

TEST(CliProcessTest, HelpIsBilingualOnStandardOutput) {
    const CliRun run = RunCli({u"--help"});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_NE(run.out.find(u"用法: varnotta-cli"), std::u16string::npos);
    EXPECT_NE(run.out.find(u"Usage: varnotta-cli"), std::u16string::npos);
    EXPECT_NE(run.out.find(u"--tail-file"), std::u16string::npos);
    EXPECT_EQ(run.err, u"");
}

TEST(CliProcessTest, WrongUsageExitsWithTwoAndTouchesNothing) {
    TestFolder folder;
    folder.Write(u"a.txt", "abc");
    const auto before = Snapshot(folder);
    const std::vector<std::vector<std::u16string>> wrong = {
        {},
        {u"--head"},
        {u"--bold", Text(folder.path())},
        {u"--head", u"A", u"--head", u"B", Text(folder.path())},
        {Text(folder.path()), Text(folder.path())},
        {u"--head-file", Text(folder / u"missing.utf8"), Text(folder.path())},
    };
    for (const auto& arguments : wrong) {
        const CliRun run = RunCli(arguments);
        EXPECT_EQ(run.exit_status, 2) << testing::PrintToString(arguments);
        EXPECT_EQ(run.out, u"");
        EXPECT_NE(run.err, u"");
    }
    EXPECT_EQ(Snapshot(folder), before);
    EXPECT_NE(RunCli({u"--bold", u"x"}).err.find(u"unknown option: --bold\n详见 / See: varnotta-cli --help"),
              std::u16string::npos);
}

TEST(CliProcessTest, ChineseHeadAndTailTypedOnTheCommandLine) {
    TestFolder folder;
    folder.Write(u"a.txt", "abc");
    folder.Write(u"b.txt", "\xE4\xB8\xAD\xE6\x96\x87");  // 中文 in UTF-8
    folder.Write(u"c.TXT", "abc");
    const CliRun run = RunCli({u"--head", u"  标题 H ", u"--tail=T尾", Text(folder.path())});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, u"任务完成！\n");
    EXPECT_EQ(run.err, u"");
    // Code page 936 for the plain ASCII file, UTF-8 for the UTF-8 one; the upper-case name is not collected.
    EXPECT_EQ(folder.Read(u"a.txt"), "\xB1\xEA\xCC\xE2 H\r\nabc\r\nT\xCE\xB2");
    EXPECT_EQ(folder.Read(u"b.txt"), "\xE6\xA0\x87\xE9\xA2\x98 H\r\n\xE4\xB8\xAD\xE6\x96\x87\r\nT\xE5\xB0\xBE");
    EXPECT_EQ(folder.Read(u"c.TXT"), "abc");
    EXPECT_EQ(folder.Names(), (std::vector<std::u16string>{u"a.txt", u"b.txt", u"c.TXT"}));
}

TEST(CliProcessTest, HeadAndTailFromUtf8Files) {
    TestFolder texts;
    // A byte-order mark, LF line breaks and a final line break, as editors write them.
    texts.Write(u"head.utf8", "\xEF\xBB\xBF# \xE6\xA0\x87\xE9\xA2\x98\n# second line\n");
    texts.Write(u"tail.utf8", "-- end --\r\n\r\n");
    TestFolder folder;
    folder.Write(u"notes.txt", "line\r\n");
    const CliRun run = RunCli(
        {u"--head-file", Text(texts / u"head.utf8"), u"--tail-file", Text(texts / u"tail.utf8"), Text(folder.path())});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, u"任务完成！\n");
    EXPECT_EQ(folder.Read(u"notes.txt"), "# \xB1\xEA\xCC\xE2\r\n# second line\r\nline\r\n\r\n-- end --\r\n");
}

TEST(CliProcessTest, HeadFileThatIsNotUtf8IsWrongUsage) {
    TestFolder folder;
    folder.Write(u"a.txt", "abc");
    const auto head = folder.Write(u"head.gbk", "\xB1\xEA\xCC\xE2");
    const CliRun run = RunCli({u"--head-file", Text(head), Text(folder.path())});
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_NE(run.err.find(u"not UTF-8"), std::u16string::npos);
    EXPECT_EQ(folder.Read(u"a.txt"), "abc");
}

TEST(CliProcessTest, RefusedRunsExitWithOne) {
    TestFolder folder;
    const CliRun blank = RunCli({u"--head", u"H", u"   "});
    EXPECT_EQ(blank.exit_status, 1);
    EXPECT_EQ(blank.out, u"请先设定路径！\n");
    const CliRun missing = RunCli({u"--head", u"H", Text(folder / u"no such folder")});
    EXPECT_EQ(missing.exit_status, 1);
    EXPECT_EQ(missing.out, u"该路径不存在！\n");
    EXPECT_EQ(missing.err, u"");
}

TEST(CliProcessTest, FolderWithoutTextFilesCompletesSilently) {
    TestFolder folder;
    folder.Write(u"readme.md", "x");
    const CliRun run = RunCli({u"--head", u"H", Text(folder.path())});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out + run.err, u"");
    EXPECT_EQ(folder.Read(u"readme.md"), "x");
}

TEST(CliProcessTest, FailedRunReportsOnStandardErrorAndExitsWithOne) {
    // A path that names a file passes the folder test, and then the folder cannot be listed.
    TestFolder folder;
    const auto file = folder.Write(u"a.txt", "abc");
    const CliRun run = RunCli({u"--head", u"H", Text(file)});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out, u"");
    EXPECT_TRUE(run.err.starts_with(u"处理中断，已完成 0 个文件，其余文件未改动。\n" + Text(file) + u"\n"))
        << testing::PrintToString(run.err);
    EXPECT_EQ(folder.Read(u"a.txt"), "abc");
}

}  // namespace
