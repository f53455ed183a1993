#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "batch/messages.h"
#include "faults/fault_support.h"

// A rewrite puts a new file in the old one's place; the new file must carry what the user set on the old
// one: its attributes on Windows; its mode bits and, where the run may set them (as root), its owner and
// group elsewhere. Hidden and system files are passed over; a read-only file stops the run unchanged.

namespace {

enum class Outcome { kRewritten, kSkipped, kStopsTheRun };

#ifdef _WIN32
struct Setting {
    DWORD attributes;
    Outcome outcome;
};
// Wine gives every plain file the archive attribute, so every setting has it.
const Setting kSettings[] = {
    {FILE_ATTRIBUTE_ARCHIVE, Outcome::kRewritten},
    {FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE, Outcome::kSkipped},  // hidden ones: batch_tests
    {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, Outcome::kStopsTheRun},
};

void Apply(const std::filesystem::path& path, const Setting& setting) {
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), setting.attributes));
}

std::string StateOf(const std::filesystem::path& path) {
    return "attributes " + std::to_string(GetFileAttributesW(path.c_str()));
}
#else
struct Setting {
    mode_t mode;
    bool other_owner;  // nobody's, as root
    bool other_group;
    Outcome outcome;
};
// No write permission bit is read-only for every user, root included.
const Setting kSettings[] = {
    {0644, false, false, Outcome::kRewritten}, {0600, true, true, Outcome::kRewritten},
    {0604, true, false, Outcome::kRewritten},  {01666, false, true, Outcome::kRewritten},
    {06755, true, true, Outcome::kRewritten},  {0444, false, false, Outcome::kStopsTheRun},
};

void Apply(const std::filesystem::path& path, const Setting& setting) {
    // Another user's file can only be set up, and its owner only kept, by root; CI runs as root.
    const bool root = ::geteuid() == 0;
    ASSERT_EQ(::chown(path.c_str(), root && setting.other_owner ? 65534 : ::geteuid(),
                      root && setting.other_group ? 65534 : ::getegid()),
              0);
    ASSERT_EQ(::chmod(path.c_str(), setting.mode), 0);
}

std::string StateOf(const std::filesystem::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    char text[64];
    std::snprintf(text, sizeof text, "mode %06o owner %u:%u", static_cast<unsigned>(info.st_mode), info.st_uid,
                  info.st_gid);
    return text;
}
#endif

TEST(Attributes, StayAsTheUserSetThem) {
    for (const Setting& setting : kSettings) {
        TestFolder folder;
        const auto path = folder.Write(u"f.txt", "abc");
        Apply(path, setting);
        const std::string before = StateOf(path);
        SCOPED_TRACE(before);

        RecordingView view(folder.path().u16string(), u"H", u"T");
        RunBatch(view);

        EXPECT_EQ(StateOf(path), before);
        if (setting.outcome == Outcome::kStopsTheRun) {
            EXPECT_TRUE(Stopped(view.messages, 0, path));
        } else {
            EXPECT_EQ(view.messages, std::vector<std::u16string>{std::u16string(messages::kTaskDone)});
        }
        EXPECT_EQ(folder.Read(u"f.txt"), setting.outcome == Outcome::kRewritten ? "H\r\nabc\r\nT" : "abc");
        EXPECT_EQ(NamesIn(folder.path()), std::vector<std::u16string>{u"f.txt"});
    }
}

}  // namespace
