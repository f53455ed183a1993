// A batch run that another test process kills part-way: it rewrites every ".txt" file in a folder with the
// head "HEAD" and the tail "TAIL" and, once `threshold` bytes of one file's former content are copied,
// creates a marker file. Then it either stops dead until it is killed ("stall") or goes on ("run-on"), so
// that the killer can strike at a moment of its own choosing.
// Usage: fault_rewriter FOLDER MARKER THRESHOLD_BYTES stall|run-on

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "batch/batch_run.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        return 2;
    }
    const std::uint64_t threshold = std::strtoull(argv[3], nullptr, 10);
    const bool stall = std::string(argv[4]) == "stall";
    bool marked = false;
    const RunInputs inputs{std::filesystem::path(argv[1]), HeadTailTexts(u"HEAD", u"TAIL")};
    RewriteFolder(inputs, [&](const BatchProgress& progress) {
        if (!marked && progress.bytes_done >= threshold) {
            std::ofstream(argv[2]) << progress.bytes_done;
            marked = true;
            while (stall) {
                std::this_thread::sleep_for(std::chrono::seconds(1));
            }
        }
    });
    return marked ? 0 : 3;  // 3: the run ended without reaching the threshold
}
