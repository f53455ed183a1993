#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "batch/messages.h"
#include "faults/fault_support.h"
#include "tests/test_folder.h"

// A rewrite puts a new file in the old one's place; the new file must carry the old one's mode bits and,
// where the run may set it (as root), its owner and group.

namespace {

struct Owned {
    mode_t mode;
    uid_t owner;
    gid_t group;
    bool operator==(const Owned&) const = default;
};

Owned OwnershipOf(const std::filesystem::path& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) {
        throw std::runtime_error("lstat failed");
    }
    return Owned{info.st_mode, info.st_uid, info.st_gid};
}

void SetOwnership(const std::filesystem::path& path, const Owned& owned) {
    if (::chown(path.c_str(), owned.owner, owned.group) != 0 || ::chmod(path.c_str(), owned.mode) != 0) {
        throw std::runtime_error("cannot set up a file's owner and mode");
    }
}

std::string Describe(const Owned& owned) {
    char text[64];
    std::snprintf(text, sizeof text, "mode %06o owner %u:%u", static_cast<unsigned>(owned.mode), owned.owner,
                  owned.group);
    return text;
}

TEST(Attributes, ModeAndOwnerSurviveTheRewrite) {
    // Another user's file can only be set up, and its owner only kept, by root; CI runs as root.
    const bool root = ::geteuid() == 0;
    const uid_t other = root ? 65534 : ::geteuid();
    const gid_t other_group = root ? 65534 : ::getegid();
    const std::vector<Owned> cases{
        {S_IFREG | 0644, ::geteuid(), ::getegid()}, {S_IFREG | 0600, other, other_group},
        {S_IFREG | 0604, other, ::getegid()},       {S_IFREG | 01666, ::geteuid(), other_group},
        {S_IFREG | 02775, other, other_group},      {S_IFREG | 04755, other, other_group},
    };
    for (const auto& before : cases) {
        SCOPED_TRACE(Describe(before));
        TestFolder folder;
        const auto path = folder.Write(u"f.txt", "abc");
        SetOwnership(path, before);
        ASSERT_EQ(OwnershipOf(path), before) << "set-up";
        RecordingView view(folder.path().u16string(), u"H", u"T");
        RunBatch(view);
        EXPECT_EQ(view.messages, std::vector<std::u16string>{std::u16string(messages::kTaskDone)});
        EXPECT_EQ(folder.Read(u"f.txt"), "H\r\nabc\r\nT");
        const auto after = OwnershipOf(path);
        EXPECT_EQ(after, before) << "now " << Describe(after);
    }
}

// No write permission bit: read-only for every user, root included. The run stops there.
TEST(Attributes, ReadOnlyFileStopsTheRunUnchanged) {
    RaceFolder race;
    ::chmod(race.victim.c_str(), 0444);
    const auto before = OwnershipOf(race.victim);
    RecordingView view(race.folder.path().u16string(), u"H", u"T");
    RunBatch(view);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_TRUE(view.messages[0].starts_with(FailureHead(race.VictimIndex(), race.victim)));
    EXPECT_TRUE(HoldsPattern(race.victim, "", RaceFolder::kVictimSize, ""));
    EXPECT_EQ(OwnershipOf(race.victim), before);
    race.ExpectOthers(false);
    EXPECT_EQ(race.folder.Names(), (std::vector<std::u16string>{u"after.txt", u"before.txt", u"victim.txt"}));
}

}  // namespace
