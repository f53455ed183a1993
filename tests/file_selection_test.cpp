#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <set>
#include <stop_token>

#include "batch/batch_run.h"
#include "platform/seam.h"
#include "tests/support/test_folder.h"

namespace {

// A tree with a folder whose name ends in ".txt", a hidden file and folder, a link to a folder, one of our
// temporary files, and a file outside the run's folder.
platform::Path MakeTree(const TestFolder& root) {
    for (const auto name :
         {u"top/a.txt", u"top/b.TXT", u"top/c.txt.bak", u"top/中文.txt", u"top/n.md", u"top/~varnotta-1-0.tmp",
          u"top/sub.txt/inner.txt", u"top/sub.txt/deep/d.txt", u"top/build/o.txt", u"top/.git/g.txt", u"outside.txt"}) {
        std::filesystem::create_directories((root / name).parent_path());
        root.Write(name, "x");
    }
    MakeHidden(root.Write(u"top/.hidden.txt", "x"));
    MakeHidden(root / u"top/.git");
    std::error_code no_links;  // where links cannot be made, the rows about them show nothing more
    std::filesystem::create_directory_symlink(root / u"top/sub.txt", root / u"top/link", no_links);
    return root / u"top";
}

// The files a run took, relative to its folder, in its order, each folder's own files sorted (the system
// lists them in an order of its own).
std::vector<std::u16string> SortedWithinFolders(const std::vector<platform::Path>& taken) {
    std::vector<std::u16string> names;
    for (auto start = taken.begin(); start != taken.end();) {
        const auto end = std::find_if(start, taken.end(),
                                      [&](const auto& file) { return file.parent_path() != start->parent_path(); });
        const auto first = names.size();
        std::transform(start, end, std::back_inserter(names),
                       [](const platform::Path& file) { return file.generic_u16string(); });
        std::sort(names.begin() + static_cast<std::ptrdiff_t>(first), names.end());
        start = end;
    }
    return names;
}

const std::vector<std::u16string> kTopTxt = {u".hidden.txt", u"a.txt", u"中文.txt"};

std::vector<std::u16string> operator+(std::vector<std::u16string> first, const std::vector<std::u16string>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// Which files each selection takes and in which order, whether the run ends, and what it writes: every taken
// file but the hidden one, less the file in hand when a stop or failure ends the run.
TEST(RewriteFolder, TakesTheSelectedFilesDepthFirst) {
    using Kind = OutcomeKind;
    const std::vector<std::u16string> deep = {u"sub.txt/inner.txt", u"sub.txt/deep/d.txt"};
    const struct {
        bool recursive;
        std::vector<std::u16string> include, exclude;
        std::optional<std::vector<std::u16string>> listed;
        std::vector<std::u16string> taken;
        Kind kind = Kind::Completed;
        std::u16string where = {};  // a failure's file, or the refused names, each with its flaw's number
        std::int64_t stop_after = -1;
        std::u16string read_only = {};
    } cases[] = {
        {false, {}, {}, {}, kTopTxt},
        {true, {}, {u"build"}, {}, kTopTxt + deep},  // not in hidden folders or links, nor in excluded ones
        {true, {u"**/o.txt", u"**/inner.txt"}, {u"sub.txt"}, {}, {u"build/o.txt"}},
        {true, {u"**/d.txt", u"*.md"}, {u"build/**"}, {}, {u"n.md", u"sub.txt/deep/d.txt"}},
        {false, {u"*.*"}, {u"*.txt", u"*.TXT"}, {}, {u"c.txt.bak", u"n.md"}},  // never our temporary files
        {true,
         {},
         {u"build", u"sub.txt/deep/*"},
         {},
         kTopTxt + std::vector<std::u16string>{u"sub.txt/inner.txt"},
         Kind::Failed,
         u"sub.txt/inner.txt",
         -1,
         u"sub.txt/inner.txt"},
        {false,
         {},
         {},
         std::vector<std::u16string>{u"sub.txt/deep/d.txt", u"a.txt", u"sub.txt/../a.txt", u"n.md",
                                     u"./sub.txt/inner.txt", u"sub.txt/./inner.txt"},
         {u"sub.txt/deep/d.txt", u"a.txt", u"sub.txt/inner.txt"}},
        {false,
         {},
         {},
         std::vector<std::u16string>{u"sub.txt/inner.txt", u"a.txt", u".hidden.txt"},
         {u"sub.txt/inner.txt", u"a.txt"},
         Kind::Stopped,
         {},
         1},
        {false,
         {},
         {},
         std::vector<std::u16string>{u"a.txt", u"gone.txt", u"../outside.txt", u"sub.txt"},
         {},
         Kind::ListRefused,
         u"gone.txt0 ../outside.txt2 sub.txt1"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::PrintToString(row.taken));
        TestFolder root;
        const platform::Path top = MakeTree(root);
        if (!row.read_only.empty()) {
            std::filesystem::permissions(top / row.read_only, std::filesystem::perms::owner_read);
        }
        RunInputs inputs{top, HeadTailTexts(u"H", u"T")};
        inputs.selection.recursive = row.recursive;
        for (const auto& [texts, globs] :
             {std::pair(&row.include, &inputs.selection.include), std::pair(&row.exclude, &inputs.selection.exclude)}) {
            for (const auto& text : *texts) {
                globs->push_back(std::get<Glob>(Glob::Parse(text)));
            }
        }
        if (row.listed) {
            inputs.selection.listed.emplace(*row.listed);
        }
        std::vector<platform::Path> taken;
        std::set<platform::Path> synced;
        platform::seam::folder_synced = [&](const platform::Path& folder) {
            synced.insert(folder.lexically_relative(top));
        };
        std::stop_source stop;
        const RunOutcome outcome = RewriteFolder(
            inputs,
            [&](const BatchProgress& progress) {
                const auto file = progress.current_file.lexically_relative(top);
                if (taken.empty() || taken.back() != file) {
                    taken.push_back(file);
                }
                if (progress.files_done == row.stop_after) {
                    stop.request_stop();
                }
            },
            stop.get_token());
        platform::seam::folder_synced = nullptr;
        EXPECT_EQ(SortedWithinFolders(taken), row.taken);
        EXPECT_EQ(outcome.kind, row.kind);
        std::u16string refused;
        for (const auto& file : outcome.refused) {
            refused += (refused.empty() ? u"" : u" ") + file.name.generic_u16string() +
                       static_cast<char16_t>(u'0' + static_cast<int>(file.flaw));
        }
        EXPECT_EQ(row.kind == Kind::Failed ? outcome.where.generic_u16string() : refused, row.where);
        std::vector<platform::Path> written = taken;
        if (row.kind != Kind::Completed && !written.empty()) {
            written.pop_back();
        }
        std::erase(written, platform::Path(u".hidden.txt"));
        std::set<platform::Path> written_in;  // every folder where a file was replaced is made durable
        for (const auto& file : written) {
            written_in.insert(file.parent_path().empty() ? platform::Path(".") : file.parent_path());
        }
        EXPECT_EQ(synced, written_in);
        EXPECT_EQ(outcome.files_done, static_cast<std::int64_t>(written.size()));
        for (const auto& file : std::filesystem::recursive_directory_iterator(top)) {
            const bool was_written =
                std::find(written.begin(), written.end(), file.path().lexically_relative(top)) != written.end();
            if (file.is_regular_file()) {
                EXPECT_EQ(ReadBytes(file.path()), was_written ? "H\r\nx\r\nT" : "x") << file.path();
            }
        }
    }
}

}  // namespace
