// varnotta-cli as a user meets it: a separate process, its exit status, what it prints where, and what it
// does to the files.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>

#include "tests/support/fault_os.h"
#include "tests/support/test_folder.h"

namespace {

struct Case {
    std::vector<std::u16string> arguments;  // "@" stands for the test's folder, "@name" for a file in it
    int exit_status;
    std::u16string out;  // how standard output starts, "@" for the folder; empty: it is empty
    std::u16string err;  // the same for standard error
    std::string a_txt = "abc";
    int signal = 0;  // sent once the run has a temporary file in "big"; then its files are checked
};

// The stop that a signal, or under Windows Ctrl+C, asks for: every temporary file goes, and the program ends
// as the signal would have ended it.
const std::u16string kStopped = u"已停止 / stopped: 已完成 ";

// The folder holds "a.txt" (ASCII, so the head and tail go in as code page 936), "u8" (标题 in UTF-8), "gbk"
// (标题 in code page 936) and an empty folder.
const Case kCases[] = {
    {{u"--help"}, 0, u"用法: varnotta-cli [--head 文本 | --head-file 文件]", u""},
    {{u"--head", u"  标题 H ", u"--tail=T尾", u"@"}, 0, u"任务完成！\n", u"", "\xB1\xEA\xCC\xE2 H\r\nabc\r\nT\xCE\xB2"},
    {{u"--head-file", u"@u8", u"@"}, 0, u"任务完成！\n", u"", "\xB1\xEA\xCC\xE2\r\nabc"},
    {{u"--head", u"H", u"@empty"}, 0, u"", u""},
    {{u"--head", u"H", u"   "}, 1, u"请先设定路径！\n", u""},
    {{u"--head", u"H", u"@no such folder"}, 1, u"该路径不存在！\n", u""},
    // A path that names a file passes the folder test, and then the folder cannot be listed.
    {{u"--head", u"H", u"@a.txt"}, 1, u"", u"处理中断，已完成 0 个文件，其余文件未改动。\n"},
    {{u"--include", u"*.md", u"--head", u"H", u"@"}, 0, u"", u""},
    {{u"--files-from", u"@u8", u"--head", u"H", u"@"},
     1,
     u"",
     u"列出的文件无法使用，未做任何修改 / listed files cannot be used, nothing was changed:\n标题: 不存在 / missing\n"},
    {{u"--files-from", u"-", u"@"}, 0, u"", u""},  // standard input holds nothing
    {{u"--files-from", u"@gbk", u"@"}, 2, u"", u"文件列表不是 UTF-8 或带 BOM 的 UTF-16"},
    {{u"--exclude", u"a**", u"@"}, 2, u"", u"** 须单独成为一部分 / ** must be a whole part: a**\n"},
    {{u"--bold", u"@"}, 2, u"", u"未知选项 / unknown option: --bold\n详见 / See: varnotta-cli --help"},
    {{u"--head-file", u"@missing.utf8", u"@"}, 2, u"", u"无法读取文件 / cannot read file: "},
    {{u"--head-file", u"@gbk", u"@"}, 2, u"", u"文件不是 UTF-8 文本 / file is not UTF-8 text: "},
    {{u"--check", u"--head", u"H", u"@"}, 1, u"@", u""},
    {{u"--check", u"@empty"}, 0, u"", u""},
    {{u"--check", u"--head", u"H", u"@no such folder"}, 3, u"", u"该路径不存在！\n"},
    {{u"--check", u"--head", u"H", u"@a.txt"}, 3, u"", u"无法读取 / cannot read: "},
    {{u"--missing-only", u"--head", u"H", u"--tail", u"T", u"@"},
     0,
     u"任务完成！\n",
     u"改写 1 个文件，原样保留 0 个，跳过 0 个 / 1 rewritten, 0 left as they were, 0 passed over\n",
     "H\r\nabc\r\nT"},
    {{u"--remove", u"--head", u"H", u"@"}, 0, u"任务完成！\n", u"改写 0 个文件，原样保留 1 个，跳过 0 个"},
    {{u"--remove", u"@"}, 2, u"", u"--remove 需要非空的头部或尾部 / --remove needs a head or a tail"},
    {{u"--missing-only", u"--tail", u" \uFEFFT", u"@"}, 2, u"", u"头部或尾部不能以 U+FEFF 或 U+0000 开头"},
#ifdef _WIN32
    {{u"--head", u"H", u"@big"}, static_cast<int>(0xC000013A), u"", kStopped, "abc", SIGINT},  // Ctrl+C's own status
#else
    {{u"--head", u"H", u"@big"}, 128 + SIGINT, u"", kStopped, "abc", SIGINT},
    {{u"--head", u"H", u"@big"}, 128 + SIGTERM, u"", kStopped, "abc", SIGTERM},
    {{u"--head-file", u"/dev/zero", u"@"}, 2, u"", u"文件超过 16 MiB / file is larger than 16 MiB: /dev/zero"},
#endif
};

TEST(CliProcess, ExitStatusOutputAndFiles) {
    for (const Case& run : kCases) {
        SCOPED_TRACE(testing::PrintToString(run.arguments));
        TestFolder folder;
        folder.Write(u"a.txt", "abc");
        folder.Write(u"u8", "\xE6\xA0\x87\xE9\xA2\x98");
        folder.Write(u"gbk", "\xB1\xEA\xCC\xE2");
        std::filesystem::create_directory(folder / u"empty");
        // Small files, prepared ahead, and one large enough to be stopped while it is copied.
        const auto big = folder / u"big";
        std::filesystem::create_directory(big);
        std::vector<std::u16string> big_names;
        for (int i = 0; run.signal != 0 && i < 80; ++i) {
            big_names.push_back(u"s" + std::filesystem::path(std::to_string(100 + i)).u16string() + u".txt");
            WriteBytes(big / big_names.back(), "small");
        }
        if (run.signal != 0) {
            big_names.push_back(u"big.txt");
            WriteBytes(big / u"big.txt", "");
            std::filesystem::resize_file(big / u"big.txt", std::uint64_t{512} << 20);
        }
        std::sort(big_names.begin(), big_names.end());
        std::vector<std::filesystem::path> arguments;
        for (const std::u16string& argument : run.arguments) {
            arguments.push_back(!argument.starts_with(u'@') ? std::filesystem::path(argument)
                                : argument == u"@"          ? folder.path()
                                                            : folder / argument.substr(1));
        }
        TestFolder output;
        ChildProcess cli(ProgramBeside("varnotta-cli"), arguments, output / u"out", output / u"err");

        while (run.signal != 0 && cli.Running() && NamesIn(big).size() == big_names.size()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (run.signal != 0) {
            cli.AskToEnd(run.signal);
        }
        EXPECT_EQ(cli.Wait(), run.exit_status);
        const std::u16string out = ConsoleText(ReadBytes(output / u"out"));
        const std::u16string err = ConsoleText(ReadBytes(output / u"err"));
        const std::u16string expected_out =
            run.out.starts_with(u'@') ? folder.path().u16string() + run.out.substr(1) : run.out;
        EXPECT_TRUE(run.out.empty() ? out.empty() : out.starts_with(expected_out)) << testing::PrintToString(out);
        EXPECT_TRUE(run.err.empty() ? err.empty() : err.starts_with(run.err)) << testing::PrintToString(err);
        EXPECT_EQ(folder.Read(u"a.txt"), run.a_txt);
        EXPECT_EQ(NamesIn(folder.path()), (std::vector<std::u16string>{u"a.txt", u"big", u"empty", u"gbk", u"u8"}));
        EXPECT_EQ(NamesIn(big), big_names);
    }
}

}  // namespace
