#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "batch/batch_run.h"

// A BatchView that keeps the three texts it is given and records, in order, everything the run does to it.
// Its hook lets a test act as another program could at exact points of a run: before each file and after
// each piece (1 MiB) of a file's former content is copied.
class RecordingView : public BatchView {
  public:
    using Hook = std::function<void(const BatchProgress&)>;

    RecordingView(std::u16string folder, std::u16string head, std::u16string tail, Hook hook = {})
        : texts_{{BatchText::Text1, std::move(folder)},
                 {BatchText::Text2, std::move(head)},
                 {BatchText::Text3, std::move(tail)}},
          hook_(std::move(hook)) {}

    std::u16string ReadText(BatchText box) override { return texts_[box]; }
    void SetEnabled(BatchControl control, bool enabled) override {
        events.push_back(std::u16string(enabled ? u"enable " : u"disable ") + Name(control));
        enabled_[control] = enabled;
    }
    void ShowMessage(const std::u16string& text) override {
        events.push_back(u"message " + text);
        messages.push_back(text);
        // The box is modal: note which controls were still locked while it was up.
        locked_during_message = !enabled_.empty() && std::all_of(enabled_.begin(), enabled_.end(),
                                                                 [](const auto& entry) { return !entry.second; });
    }

    void ReportProgress(const BatchProgress& progress) override {
        if (hook_) {
            hook_(progress);
        }
    }

    static std::u16string Name(BatchControl control) {
        constexpr const char16_t* kNames[] = {u"Command1", u"Command2", u"Text2", u"Text3", u"Command3"};
        return kNames[static_cast<int>(control)];
    }

    std::vector<std::u16string> events;
    std::vector<std::u16string> messages;
    bool locked_during_message = false;

  private:
    std::map<BatchText, std::u16string> texts_;
    std::map<BatchControl, bool> enabled_;
    Hook hook_;
};
