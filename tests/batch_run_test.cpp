#include <gtest/gtest.h>

#include <filesystem>

#include "faults/fault_support.h"
#include "tests/test_folder.h"

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
    for (const auto& sub : {typical, names, hidden, none}) {
        std::filesystem::create_directory(sub);
    }
    WriteBytes(typical / u"a.txt", "abc");
    WriteBytes(names / u"\u0E01\u0E02.txt", "abc");
    WriteBytes(names / u"\U0001F600.txt", "abc");
    MakeHidden(folder.Write(u"hidden/.hidden.txt", "abc"));
    WriteBytes(none / u"notes.md", "x");
    const auto file = folder.Write(u"plain.txt", "abc");
    std::filesystem::create_directory(folder / u"wild-folder");

    const auto done = kLock + RecordingView::Box(messages::kTaskDone) + kUnlock;
    const auto refused = RecordingView::Box(messages::kPathMissing);
    const std::u16string stopped = u"stopped";  // the report is checked apart, its reason being the system's
    const struct {
        std::u16string path;
        std::u16string events;
    } cases[] = {
        {u"", RecordingView::Box(messages::kSetPathFirst)},
        {u"   ", RecordingView::Box(messages::kSetPathFirst)},
        {(folder / u"missing").u16string(), refused},
        {typical.u16string() + u"\t", refused},  // only spaces are trimmed
        {u"\n" + typical.u16string(), refused},
        {none.u16string() + u"/", kLock + kUnlock},  // no text file: no message at all
        {hidden.u16string(), done},                  // collected, but left alone
        {names.u16string(), done},
        {u"  " + typical.u16string() + u"  ", done},
        {typical.u16string(), done},  // a second run adds the head and tail a second time
        {file.u16string(), stopped},
        {(folder / u"wild-*").u16string(), stopped},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::PrintToString(platform::Path(row.path).string()));
        RecordingView view(row.path);
        RunBatch(view);
        if (row.events == stopped) {
            ASSERT_EQ(view.messages.size(), 1u);
            EXPECT_TRUE(Stopped(view.messages[0], 0, row.path));
            EXPECT_EQ(view.events, kLock + RecordingView::Box(view.messages[0]) + kUnlock);
        } else {
            EXPECT_EQ(view.events, row.events);
        }
    }
    EXPECT_EQ(ReadBytes(typical / u"a.txt"), "H\r\nH\r\nabc\r\nT\r\nT");
    EXPECT_EQ(ReadBytes(names / u"\u0E01\u0E02.txt"), "H\r\nabc\r\nT");
    EXPECT_EQ(ReadBytes(names / u"\U0001F600.txt"), "H\r\nabc\r\nT");
    EXPECT_EQ(ReadBytes(hidden / u".hidden.txt"), "abc");
    EXPECT_EQ(ReadBytes(file), "abc");
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
