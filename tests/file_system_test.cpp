#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/file_system.h"
#include "platform/seam.h"
#include "tests/test_folder.h"

namespace {

namespace fs = std::filesystem;

// The run's last look at each collected name: a folder (or a link to one) is no plain file.
TEST(IsNormalFile, NotForAFolder) {
    TestFolder folder;
    fs::create_directory(folder / u"dir.txt");
    EXPECT_FALSE(platform::IsNormalFile(folder / u"dir.txt").value());
}

#ifndef _WIN32
// Another program changes the target between the last check and the exchange of names: its file or its write
// is never lost. When the swap that gives its file back fails, the report points at the name that holds the
// new content.
TEST(ReplacementFile, AChangeAtTheExchangeIsGivenBack) {
    const struct {
        const char* what;
        std::function<void(TestFolder&, const fs::path&)> act;
        int swap_back;                // the errno the swap back fails with, or 0
        std::string target_holds;     // afterwards
        std::string temporary_holds;  // when the swap back failed
    } cases[] = {
        {"its own file put in the target's place, the swap back failing",
         [](TestFolder& folder, const fs::path& target) { fs::rename(folder.Write(u"theirs", "theirs"), target); },
         EPERM, "new", "theirs"},
        {"appended to the target",
         [](TestFolder&, const fs::path& target) {
             std::ofstream(target, std::ios::binary | std::ios::app) << "+theirs";
         },
         0, "old+theirs", ""},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        TestFolder folder;
        const auto target = folder.Write(u"a.txt", "old");
        auto original = platform::InputFile::Open(target);
        ASSERT_TRUE(original.ok());
        auto replacement = platform::ReplacementFile::CreateFor(target, original.value());
        ASSERT_TRUE(replacement.ok());
        ASSERT_TRUE(replacement.value().Write("new").ok());
        platform::seam::before_call = [&](platform::seam::Call call) {
            if (call == platform::seam::Call::SwapBack) {
                return row.swap_back;
            }
            row.act(folder, target);
            return 0;
        };
        const auto replaced = replacement.value().Replace(original.value().stamp());
        platform::seam::before_call = nullptr;
        EXPECT_EQ(ReadBytes(target), row.target_holds);
        if (row.swap_back != 0) {
            ASSERT_FALSE(replaced.ok());
            EXPECT_EQ(replaced.error().kept_copy, target);
            EXPECT_EQ(ReadBytes(replacement.value().temporary_path()), row.temporary_holds);
        } else {
            EXPECT_FALSE(replaced.ok() && replaced.value()) << "replaced";
            EXPECT_EQ(NamesIn(folder.path()), std::vector<std::u16string>{u"a.txt"});
        }
    }
}
#endif

}  // namespace
