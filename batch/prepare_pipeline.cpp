#include "batch/prepare_pipeline.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/seam.h"

namespace {

// Workers that flush file by file mostly wait for the disk, and the waits of several overlap. With one
// flush for a group they mostly use the processor, so one core is left to the thread that replaces files.
std::size_t WorkerCount(bool group_flush) {
    if (!group_flush) {
        return 4;
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp<std::size_t>(cores > 1 ? cores - 1 : 1, 1, 4);
}

// A file found larger than may be prepared ahead once it is open: larger than listed, or listed without its
// size. Its turn copies it.
bool IsTooLargeAhead(const Problem& problem) {
    const auto* found = std::get_if<WriteProblem>(&problem);
    return found && *found == WriteProblem::GrewPastPrepared;
}

}  // namespace

PreparePipeline::PreparePipeline(const HeadTailEdit& edit, const platform::Path& folder, const FileList& files,
                                 std::size_t first, std::stop_token stop)
    : files_(files),
      edit_(edit),
      forward_stop_(std::move(stop), std::function<void()>([this] { stop_.request_stop(); })),
      group_flush_(files.on_one_file_system() ? platform::GroupFlush::For(folder) : std::nullopt),
      depth_(group_flush_ ? std::clamp<std::size_t>(group_flush_->most_open(), 1, kGroupDepth) : kDepth),
      slots_(depth_ + 1),
      next_(first),
      head_index_(first) {
    const std::uint64_t most_added = edit_.texts().most_added();
    most_size_ahead_ = kMostAhead > most_added ? kMostAhead - most_added : 0;
    const std::size_t count = std::min(WorkerCount(group_flush_.has_value()), files.size() - first);
    workers_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (platform::seam::FailureOf(platform::seam::Call::StartWorker) != 0) {
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        }
        // A worker's own stop, as when it is destroyed, stops them all.
        workers_.emplace_back([this](std::stop_token own) {
            const std::stop_callback relay(own, [this] { stop_.request_stop(); });
            try {
                Work(stop_.get_token());
            } catch (...) {
                Fail(std::current_exception());
            }
        });
    }
}

PreparePipeline::~PreparePipeline() {
    stop_.request_stop();
    workers_.clear();  // joins them; the slots then remove the temporary files left in them
}

void PreparePipeline::Work(std::stop_token stop) {
    HeadTailWriter writer(edit_, stop);
    std::unique_lock lock(mutex_);
    for (;;) {
        room_.wait(lock, stop, [&] { return next_ >= files_.size() || HasRoom(); });
        if (stop.stop_requested() || next_ >= files_.size()) {
            return;
        }
        const std::size_t index = next_++;
        Slot& slot = SlotOf(index);
        if (files_.SizeOf(index) > most_size_ahead_) {
            slot.state = State::InHand;  // copied at its turn, where its progress shows
            ready_.notify_all();
            continue;
        }
        slot.state = State::Working;
        const bool flush_each = !group_flush_;
        lock.unlock();
        auto prepared = writer.Prepare(files_.PathOf(index), {}, most_size_ahead_, true);
        platform::Status flushed;
        if (prepared.ok() && prepared.value().output && flush_each) {
            flushed = prepared.value().output->Flush();
        }
        lock.lock();
        if (prepared.ok() && flushed.ok()) {
            slot.file.emplace(std::move(prepared.value()));
            slot.bytes = slot.file->output ? slot.file->stamp.size + edit_.texts().most_added() : 0;
            bytes_ahead_ += slot.bytes;
            slot.flushed = flush_each || !slot.file->output;
            slot.state = State::Prepared;
        } else if (!prepared.ok() && IsTooLargeAhead(prepared.error())) {
            slot.state = State::InHand;
        } else {
            slot.state = State::Failed;  // its temporary file is gone with `prepared`
        }
        ready_.notify_all();
    }
}

// The file after the one in hand always has room, whatever the others hold.
bool PreparePipeline::HasRoom() const {
    const std::size_t ahead = next_ - head_index_;
    return ahead == 0 || (ahead < depth_ && bytes_ahead_ < kMostBytesAhead);
}

// Out of memory, say: the taking thread learns of it at its next turn, and the run ends there.
void PreparePipeline::Fail(std::exception_ptr failure) {
    const std::lock_guard lock(mutex_);
    failure_ = std::move(failure);
    stop_.request_stop();
}

PreparePipeline::Turn PreparePipeline::Take(std::size_t index) {
    std::unique_lock lock(mutex_);
    Slot& slot = SlotOf(index);
    const auto settled = [&] { return slot.state != State::Waiting && slot.state != State::Working; };
    const bool ready = ready_.wait(lock, stop_.get_token(), settled);
    if (failure_) {
        std::rethrow_exception(failure_);
    }
    // Once a stop is asked for, nothing is flushed: the run ends without this file.
    if (!ready || stop_.stop_requested()) {
        return {};
    }
    if (slot.state == State::Prepared && !slot.flushed) {
        FlushForTurn(lock, slot);
    }
    Turn turn;
    turn.failed = slot.state == State::Failed;
    if (slot.state == State::Prepared) {
        turn.prepared.emplace(std::move(*slot.file));
    }
    slot.file.reset();
    slot.state = State::Waiting;
    slot.flushed = false;
    bytes_ahead_ -= std::exchange(slot.bytes, 0);
    head_index_ = index + 1;
    room_.notify_all();
    return turn;
}

// Flushes the file whose turn it is, together with every other file prepared and not yet flushed where the
// system has one flush for them all. After a group flush that reports a failure, which may have been
// another program's, each file is flushed on its own, which tells whose it was.
void PreparePipeline::FlushForTurn(std::unique_lock<std::mutex>& lock, Slot& slot) {
    if (group_flush_) {
        std::vector<Slot*> group;
        std::vector<platform::ReplacementFile*> outputs;
        for (std::size_t i = head_index_; i < next_; ++i) {
            Slot& other = SlotOf(i);
            if (other.state == State::Prepared && !other.flushed) {
                group.push_back(&other);
                outputs.push_back(&*other.file->output);
            }
        }
        // Prepared slots are the taking thread's until it takes them: no worker touches them meanwhile.
        lock.unlock();
        const bool flushed = group_flush_->Flush(outputs);
        lock.lock();
        if (flushed) {
            for (Slot* member : group) {
                member->flushed = true;
            }
            return;
        }
        group_flush_.reset();
    }
    lock.unlock();
    const auto flushed = slot.file->output->Flush();
    lock.lock();
    if (flushed.ok()) {
        slot.flushed = true;
    } else {
        slot.file.reset();
        slot.state = State::Failed;
    }
}
