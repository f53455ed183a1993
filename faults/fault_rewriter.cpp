// A batch run that another test process kills part-way: it rewrites every ".txt" file in a folder with the
// head "HEAD" and the tail "TAIL" and, once `threshold` bytes of one file's former content are copied,
// creates a marker file. Then it either stops dead until it is killed ("stall") or goes on ("run-on"), so
// that the killer can strike at a moment of its own choosing.
// Usage: fault_rewriter FOLDER MARKER THRESHOLD_BYTES stall|run-on

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "batch/batch_run.h"

namespace {

class StallingView : public BatchView {
  public:
    StallingView(std::filesystem::path folder, std::filesystem::path marker, std::uint64_t threshold, bool stall)
        : folder_(std::move(folder)), marker_(std::move(marker)), threshold_(threshold), stall_(stall) {}

    std::u16string ReadText(BatchText box) override {
        switch (box) {
            case BatchText::Text1:
                return folder_.u16string();
            case BatchText::Text2:
                return u"HEAD";
            case BatchText::Text3:
                return u"TAIL";
        }
        return {};
    }
    void SetEnabled(BatchControl, bool) override {}
    void ShowMessage(const std::u16string&) override {}

    bool marked() const { return marked_; }

    void ReportProgress(const BatchProgress& progress) override {
        if (marked_ || progress.bytes_done < threshold_) {
            return;
        }
        std::ofstream(marker_) << progress.bytes_done;
        marked_ = true;
        while (stall_) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    }

  private:
    std::filesystem::path folder_;
    std::filesystem::path marker_;
    std::uint64_t threshold_;
    bool stall_;
    bool marked_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        return 2;
    }
    const std::string mode = argv[4];
    StallingView view(argv[1], argv[2], std::strtoull(argv[3], nullptr, 10), mode == "stall");
    RunBatch(view);
    return view.marked() ? 0 : 3;  // 3: the run ended without reaching the threshold
}
