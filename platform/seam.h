#pragma once

#include <filesystem>
#include <functional>

// Calls of the platform layer and of the batch core that their tests can make fail, where no real system
// lets a test provoke the failure (root may rename anything; threads run out only on a starved system), or
// watch, where a call leaves no trace a test could see. Only the test builds have them; elsewhere they cost
// nothing.
namespace platform::seam {

enum class Call {
    ExchangeNames,  // puts the new file in the target's place
    SwapBack,       // gives back a file that another program put there in the last instant
    StartWorker,    // starts a thread that prepares files ahead
    SyncFolder,     // flushes the folder's new names to disk after a run
};

#ifdef VARNOTTA_TEST_SEAMS
// Set by a test: asked before each of the calls above; answers an errno value to fail the call with, or 0.
inline std::function<int(Call)> before_call;
inline int FailureOf(Call call) {
    return before_call ? before_call(call) : 0;
}
// Set by a test: told of every folder whose replacements are made durable.
inline std::function<void(const std::filesystem::path&)> folder_synced;
inline void SyncingFolder(const std::filesystem::path& folder) {
    if (folder_synced) {
        folder_synced(folder);
    }
}
#else
constexpr int FailureOf(Call) {
    return 0;
}
inline void SyncingFolder(const std::filesystem::path&) {}
#endif

}  // namespace platform::seam
