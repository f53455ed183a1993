#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <vector>

#include "batch/add_head_tail.h"
#include "batch/file_list.h"
#include "platform/file_system.h"

// Prepares the small files of a run ahead of their turn on a few worker threads: each opens a file, chooses
// its encoding and writes its new content to a temporary file, which is flushed to disk before the file's
// turn (by the worker, or for a whole group at once where the system can). The thread that replaces files
// takes them strictly in list order and does all else at each file's turn: the lookup, the check that the
// file is unchanged, the replacement, the report of a failure. Larger files wait for their turn and are
// rewritten there, with the progress of their copy.
//
// Whatever is prepared ahead is only a head start: a file whose preparation failed, or that changed after it
// was read, is rewritten again alone at its turn, as it would have been without the pipeline, so its turn
// alone decides what the run does and says. The temporary files prepared ahead have no name until they take
// their file's place where the system allows (Linux), so that nothing of them can stay in the folder; those
// beyond the file in hand hold about kMostBytesAhead bytes at most.
class PreparePipeline {
  public:
    static constexpr std::size_t kDepth = 64;  // files prepared beyond the one in hand, each flushed on its own
    // The same where one flush serves a whole group: the larger the group, the fewer times the file system
    // writes out the blocks of its folders and free lists that many of the files share.
    static constexpr std::size_t kGroupDepth = 512;
    static constexpr std::uint64_t kMostAhead = std::uint64_t{256} << 10;  // bytes of one prepared temporary
    static constexpr std::uint64_t kMostBytesAhead = kDepth * kMostAhead;

    // What a file's turn finds.
    struct Turn {
        // Its new content, on disk, or no output for a file the edit leaves as it is; nothing: it is
        // rewritten in hand.
        std::optional<PreparedFile> prepared;
        bool failed = false;  // its preparation failed: nothing that went ahead of the turn may stay
    };

    // Starts the workers on `files` from `first` on, in `folder`. A stop requested through `stop` reaches
    // every worker at once.
    PreparePipeline(const HeadTailEdit& edit, const platform::Path& folder, const FileList& files, std::size_t first,
                    std::stop_token stop);
    // Stops the workers and removes every temporary file they prepared that was not taken.
    ~PreparePipeline();
    PreparePipeline(const PreparePipeline&) = delete;
    PreparePipeline& operator=(const PreparePipeline&) = delete;

    // Waits until file `index`, the next in list order, is ready for its turn and hands it over. Answers at
    // once, with nothing prepared, when a stop is requested. Throws what a worker threw.
    Turn Take(std::size_t index);

  private:
    enum class State { Waiting, Working, Prepared, InHand, Failed };
    struct Slot {
        State state = State::Waiting;
        bool flushed = false;
        std::optional<PreparedFile> file;
        std::uint64_t bytes = 0;  // that its temporary file holds at most
    };

    void Work(std::stop_token stop);
    bool HasRoom() const;
    void Fail(std::exception_ptr failure);
    void FlushForTurn(std::unique_lock<std::mutex>& lock, Slot& slot);
    Slot& SlotOf(std::size_t index) { return slots_[index % slots_.size()]; }

    const FileList& files_;
    const HeadTailEdit& edit_;
    std::stop_source stop_;
    std::stop_callback<std::function<void()>> forward_stop_;
    std::optional<platform::GroupFlush> group_flush_;  // nothing: every worker flushes its own files
    std::size_t depth_;                                // files prepared beyond the one in hand
    std::uint64_t most_size_ahead_ = 0;                // of a file that goes ahead, as it was read

    std::mutex mutex_;
    std::condition_variable_any ready_;  // a file's state changed: for the thread that takes them
    std::condition_variable_any room_;   // a file was taken: for the workers
    std::vector<Slot> slots_;
    std::exception_ptr failure_;     // of a worker: the run ends at the next turn
    std::size_t next_;               // the next file a worker takes up
    std::size_t head_index_;         // the next file to be taken
    std::uint64_t bytes_ahead_ = 0;  // in the temporary files of the slots not yet taken
    std::vector<std::jthread> workers_;
};
