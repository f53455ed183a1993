#include "batch/glob.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"

namespace {

// Each pattern against a relative path, as Linux and as Windows compare names; a flawed pattern is refused.
TEST(Glob, MatchesPartByPart) {
    using Flaw = Glob::Flaw;
    const struct {
        std::u16string pattern;
        std::u16string path;
        bool on_linux;
        bool on_windows;
        std::optional<Flaw> flaw = std::nullopt;
    } cases[] = {
        {u"*.txt", u"a.txt", true, true},
        {u"*.txt", u"sub/a.txt", false, false},  // "*" and "?" never stand for "/"
        {u"a?b", u"a/b", false, false},
        {u"?.txt", u"ab.txt", false, false},
        {u"*a*b*", u"xayaybz", true, true},
        {u"**/*.md", u"x.md", true, true},  // "**" for no part at all
        {u"**/*.md", u"a/b/x.md", true, true},
        {u"a/**/b", u"a/x/y/b", true, true},
        {u"a/**", u"a", true, true},  // the folder itself
        {u"a/**", u"ab/c", false, false},
        {u"[ab].txt", u"[ab].txt", true, true},  // "[" stands for itself
        {u"[ab].txt", u"a.txt", false, false},
        {u"*.TXT", u"a.txt", false, true},
        {u"Ä*", u"äb", false, true},
        {u"sub\\*.txt", u"sub/a.txt", false, true},
        {u"", u"", false, false, Flaw::Empty},
        {u"/a", u"", false, false, Flaw::AbsolutePath},
        {u"a//b", u"", false, false, Flaw::EmptyPart},
        {u"a/../b", u"", false, false, Flaw::DotPart},
        {u"a**", u"", false, false, Flaw::StarsInPart},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::PrintToString(row.pattern) + " " + testing::PrintToString(row.path));
        const auto parsed = Glob::Parse(row.pattern);
        if (row.flaw) {
            EXPECT_EQ(std::get<Flaw>(parsed), *row.flaw);
        } else {
            EXPECT_EQ(std::get<Glob>(parsed).Matches(row.path),
                      platform::NamesIgnoreCase() ? row.on_windows : row.on_linux);
        }
    }
}

}  // namespace
