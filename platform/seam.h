#pragma once

#include <functional>

// Calls of the platform layer that tests can make fail, where no real system lets a test provoke the failure
// (root may rename anything). Only the test builds of the layer have them; elsewhere they cost nothing.
namespace platform::seam {

enum class Call {
    ExchangeNames,  // puts the new file in the target's place
    SwapBack,       // gives back a file that another program put there in the last instant
    SyncFolder,     // flushes the folder's new names to disk after a run
};

#ifdef VARNOTTA_TEST_SEAMS
// Set by a test: asked before each of the calls above; answers an errno value to fail the call with, or 0.
inline std::function<int(Call)> before_call;
inline int FailureOf(Call call) {
    return before_call ? before_call(call) : 0;
}
#else
constexpr int FailureOf(Call) {
    return 0;
}
#endif

}  // namespace platform::seam
