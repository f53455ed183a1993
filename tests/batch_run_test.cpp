#include <gtest/gtest.h>

#include <filesystem>

#include "batch/check_files.h"
#include "batch/undo_run.h"
#include "platform/seam.h"
#include "tests/support/fault_support.h"
#include "tests/support/test_folder.h"

namespace {

// A BatchView holding a folder path, the head "H" and the tail "T", that records in order everything the run
// does to it.
class RecordingView : public BatchView {
  public:
    explicit RecordingView(std::u16string folder) : folder_(std::move(folder)) {}

    std::u16string ReadText(BatchText box) override {
        return box == BatchText::Text1 ? folder_ : box == BatchText::Text2 ? u"H" : u"T";
    }
    void SetEnabled(BatchControl control, bool enabled) override {
        constexpr const char16_t* kNames[] = {u"Command1", u"Command2", u"Text2", u"Text3", u"Command3"};
        events += (enabled ? u"+" : u"-") + std::u16string(kNames[static_cast<int>(control)]) + u" ";
    }
    void ShowOutcome(const RunOutcome& outcome) override {
        if (const auto text = OutcomeText(outcome)) {
            events += Box(*text);
            messages.push_back(*text);
        }
    }

    static std::u16string Box(std::u16string_view text) { return u"[" + std::u16string(text) + u"] "; }

    std::u16string events;  // "-Command1 " for a control disabled, "+Command1 " enabled, "[text] " a message box
    std::vector<std::u16string> messages;

  private:
    std::u16string folder_;
};

const std::u16string kLock = u"-Command1 -Command2 -Text2 -Text3 -Command3 ";
const std::u16string kUnlock = u"+Command1 +Command2 +Text2 +Text3 +Command3 ";

// Each kind of folder path: which message the run shows, and whether and in which order it locks the window.
// A path that passes the folder test but cannot be listed (a file, a pattern that finds a folder) stops the
// run at that path.
TEST(RunBatch, MessagesAndLockingFollowThePath) {
    TestFolder folder;
    const auto typical = folder / u"typical";
    const auto names = folder / u"目录-\u0E01";  // names outside the ANSI code page (Thai, emoji)
    const auto hidden = folder / u"hidden";
    const auto none = folder / u"none";
    const auto starved = folder / u"starved";  // no worker can start there
    const auto devices = folder / u"devices";  // names Windows takes for devices unless they come verbatim
    for (const auto& sub : {typical, names, hidden, none, starved, devices}) {
        std::filesystem::create_directory(sub);
    }
    for (const auto name : {u"a.txt", u"b.txt", u"c.txt"}) {
        WriteBytes(starved / name, "abc");
    }
    WriteBytes(typical / u"a.txt", "abc");
    WriteBytes(names / u"\u0E01\u0E02.txt", "abc");
    WriteBytes(names / u"\U0001F600.txt", "abc");
    MakeHidden(folder.Write(u"hidden/.hidden.txt", "abc"));
    WriteBytes(none / u"notes.md", "x");
    const std::filesystem::path verbatim =  // only a \\?\ path reaches such a file on Windows
        (std::filesystem::path::preferred_separator == '\\' ? u"\\\\?\\" : u"") + devices.u16string();
    const std::u16string device_names[] = {u"nul.txt", u"com1.txt", u"lpt9.a.txt"};
    for (const auto& name : device_names) {
        WriteBytes(verbatim / name, "abc");
    }
    const auto file = folder.Write(u"plain.txt", "abc");
    std::filesystem::create_directory(folder / u"wild-folder");

    const auto done = kLock + RecordingView::Box(messages::kTaskDone) + kUnlock;
    const auto refused = RecordingView::Box(messages::kPathMissing);
    const std::u16string stopped = u"stopped";  // the report is checked apart, its reason being the system's
    const struct {
        std::u16string path;
        std::u16string events;
        std::u16string_view reason = {};  // of a stop; empty: the system's
    } cases[] = {
        {u"", RecordingView::Box(messages::kSetPathFirst)},
        {u"   ", RecordingView::Box(messages::kSetPathFirst)},
        {(folder / u"missing").u16string(), refused},
        {typical.u16string() + u"\t", refused},  // only spaces are trimmed
        {u"\n" + typical.u16string(), refused},
        {none.u16string() + u"/", kLock + kUnlock},  // no text file: no message at all
        {hidden.u16string(), done},                  // collected, but left alone
        {names.u16string(), done},
        {devices.u16string(), done},
        {u"  " + typical.u16string() + u"  ", done},
        {typical.u16string(), done},  // a second run adds the head and tail a second time
        {file.u16string(), stopped},
        {(folder / u"wild-*").u16string(), stopped},
        {starved.u16string(), stopped, messages::kOutOfResources},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::PrintToString(platform::Path(row.path).string()));
        RecordingView view(row.path);
        platform::seam::before_call = [&row](platform::seam::Call call) {
            return call == platform::seam::Call::StartWorker && !row.reason.empty() ? EAGAIN : 0;
        };
        RunBatch(view);
        platform::seam::before_call = nullptr;
        if (row.events == stopped) {
            ASSERT_EQ(view.messages.size(), 1u);
            EXPECT_TRUE(Stopped(view.messages[0], 0, row.path, row.reason));
            EXPECT_EQ(view.events, kLock + RecordingView::Box(view.messages[0]) + kUnlock);
        } else {
            EXPECT_EQ(view.events, row.events);
        }
    }
    EXPECT_EQ(ReadBytes(typical / u"a.txt"), "H\r\nH\r\nabc\r\nT\r\nT");
    EXPECT_EQ(ReadBytes(names / u"\u0E01\u0E02.txt"), "H\r\nabc\r\nT");
    EXPECT_EQ(ReadBytes(names / u"\U0001F600.txt"), "H\r\nabc\r\nT");
    for (const auto& name : device_names) {
        EXPECT_EQ(ReadBytes(verbatim / name), "H\r\nabc\r\nT");
        std::filesystem::remove(verbatim / name);  // removing the test folder would reach for a device instead
    }
    EXPECT_EQ(ReadBytes(hidden / u".hidden.txt"), "abc");
    EXPECT_EQ(ReadBytes(file), "abc");
    EXPECT_EQ(NamesIn(starved), (std::vector<std::u16string>{u"a.txt", u"b.txt", u"c.txt"}));
    EXPECT_EQ(ReadBytes(starved / u"a.txt"), "abc");
}

// An undo takes off the last run's layer from each file still as that run left it; a file changed or gone since
// is left alone and counted. A failure stops it at that file, which stays to be undone with those after it.
TEST(UndoAdded, TakesOffTheLastRunOnlyFromFilesAsItLeftThem) {
    TestFolder folder;
    const auto keep = [](const std::filesystem::path&) {};
    const struct {
        std::u16string name;
        std::function<void(const std::filesystem::path&)> after_runs;
        std::optional<std::string> after_undo;  // nothing: gone
    } cases[] = {
        {u"a.txt", keep, "H\r\nabc\r\nT"},
        {u"b.txt", [](const auto& path) { WriteBytes(path, "changed, and longer"); }, "changed, and longer"},
        {u"c.txt", [](const auto& path) { std::filesystem::remove(path); }, std::nullopt},
    };
    for (const auto& row : cases) {
        folder.Write(row.name, "abc");
    }
    const RunInputs inputs{folder.path(), HeadTailTexts(u"H", u"T"), RunMode::Add, std::nullopt, true};
    RewriteFolder(inputs, [](const auto&) {});
    const auto last = RewriteFolder(inputs, [](const auto&) {});
    ASSERT_EQ(last.added.size(), std::size(cases));
    for (const auto& row : cases) {
        row.after_runs(folder / row.name);
    }
    const auto undone = UndoAdded(last.added, [](const auto&) {});
    EXPECT_EQ(std::tuple(undone.kind, undone.files_done, undone.files_left, undone.added.size()),
              std::tuple(OutcomeKind::Completed, 1, 2, 0u));
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::PrintToString(platform::Path(row.name).string()));
        const auto path = folder / row.name;
        EXPECT_EQ(std::filesystem::exists(path) ? std::optional(ReadBytes(path)) : std::nullopt, row.after_undo);
    }

    auto failing = RewriteFolder(inputs, [](const auto&) {}).added;
    ASSERT_EQ(failing.size(), 2u);
    std::filesystem::permissions(failing[1].path, std::filesystem::perms::owner_read);  // read-only: cannot be replaced
    failing[1].stamp = platform::StampOf(failing[1].path).value();
    const auto failed = UndoAdded(failing, [](const auto&) {});
    EXPECT_EQ(std::tuple(failed.kind, failed.files_done, failed.where, failed.added.size()),
              std::tuple(OutcomeKind::Failed, 1, failing[1].path, failing.size() - 1));
}

// The check passes over what a run passes over, and tells the others apart by what they carry; a run that
// looks at each file in hand before writing passes over the same files. Listed, so that the hidden file
// comes first, before anything is prepared ahead.
TEST(CheckFiles, TellsWhatLacksAndPassesOverHiddenFiles) {
    FileSelection listed;
    listed.listed.emplace(std::vector<std::u16string>{u".hidden.txt", u"carries.txt", u"lacks.txt"});
    for (const bool check : {true, false}) {
        SCOPED_TRACE(check);
        TestFolder folder;
        folder.Write(u"carries.txt", "H\r\nx");
        folder.Write(u"lacks.txt", "x");
        MakeHidden(folder.Write(u".hidden.txt", "x"));
        std::vector<platform::Path> lacking;
        RunInputs inputs{folder.path(), HeadTailTexts(u"H", u""), RunMode::MissingOnly};
        inputs.selection = listed;
        const auto outcome = check ? CheckFiles(folder.path(), listed, inputs.texts,
                                                [&](const platform::Path& path) { lacking.push_back(path); })
                                   : RewriteFolder(inputs, [](auto&) {}, {});
        // Checked, one carries and one lacks; rewritten, the one that lacks is done and the other left.
        EXPECT_EQ(std::tuple(outcome.files_done, outcome.files_left, outcome.files_passed_over), std::tuple(1, 1, 1));
        EXPECT_EQ(lacking, check ? std::vector<platform::Path>{u"lacks.txt"} : std::vector<platform::Path>{});
        EXPECT_EQ(folder.Read(u".hidden.txt"), "x");
    }
}

// A run in a mode that takes texts off or adds only what is missing, stopped by the user or by a failure at
// the second file's turn: the report, the count and the files are as the plain run leaves them.
TEST(RewriteFolder, StopsMidRunInEveryWritingModeAsThePlainRunDoes) {
    const auto hard_link = [](const platform::Path& file) {
        std::filesystem::create_hard_link(file, platform::Path(file).replace_extension(".link"));
    };
    const struct {
        RunMode mode;
        bool swap;
        bool fail;  // a second name for the file; otherwise the user stops the run
        std::string rewritten;
    } cases[] = {
        {RunMode::Remove, false, false, "x"},
        {RunMode::Remove, false, true, "x"},
        {RunMode::MissingOnly, false, true, "H\r\nx\r\nT"},
        {RunMode::Add, true, false, "N\r\nx"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(static_cast<int>(row.mode) * 10 + row.swap + 2 * row.fail);
        TestFolder folder;
        for (const auto* name : {u"a.txt", u"b.txt", u"c.txt"}) {
            folder.Write(name, "H\r\nx");
        }
        std::stop_source stop;
        std::vector<platform::Path> visited;
        const auto hook = [&](const BatchProgress& progress) {
            if (visited.empty() || visited.back() != progress.current_file) {
                visited.push_back(progress.current_file);
                if (visited.size() == 2) {
                    row.fail ? hard_link(progress.current_file) : void(stop.request_stop());
                }
            }
        };
        RunInputs inputs{folder.path(), HeadTailTexts(row.swap ? u"N" : u"H", u"T"), row.mode};
        if (row.swap) {
            inputs.old_texts.emplace(u"H", u"T");
        }
        const RunOutcome outcome = RewriteFolder(inputs, hook, stop.get_token());
        ASSERT_EQ(visited.size(), 2u);
        EXPECT_EQ(outcome.kind, row.fail ? OutcomeKind::Failed : OutcomeKind::Stopped);
        if (row.fail) {
            EXPECT_TRUE(Stopped(*OutcomeText(outcome), 1, visited[1], messages::kHardLinked));
        }
        EXPECT_EQ(outcome.files_done, 1);
        for (const auto* name : {u"a.txt", u"b.txt", u"c.txt"}) {
            EXPECT_EQ(folder.Read(name), folder / name == visited[0] ? row.rewritten : "H\r\nx") << visited[0];
        }
    }
}

}  // namespace
