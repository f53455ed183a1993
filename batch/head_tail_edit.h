#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "batch/carried_texts.h"
#include "batch/head_tail_texts.h"
#include "batch/run_outcome.h"
#include "platform/file_system.h"

// What a run does with the head and tail of each file.
enum class RunMode {
    Add,          // adds both texts to every file, as the window's Start does
    MissingOnly,  // adds each text only to files that do not carry it
    Remove,       // takes each text off the files that carry it
    Check,        // changes nothing: tells the files that lack the head or the tail
};

// What one file's rewrite takes off and adds.
struct FileEdit {
    std::size_t cut_head = 0;  // bytes right after the byte-order mark
    std::size_t cut_tail = 0;  // bytes at the very end
    bool add_head = false;
    bool add_tail = false;
    // The encoding the texts go in where the texts the file carries tell it; otherwise the run chooses.
    std::optional<FileEncoding> form = {};

    bool changes() const { return cut_head > 0 || cut_tail > 0 || add_head || add_tail; }
};

// A run's mode with its texts, in the forms a file can carry them, made once per run and then only read.
class HeadTailEdit {
  public:
    // `old_texts`, for a swap: a file that carries one of them gets the new text in its place. In a swap, Add
    // leaves a file that carries neither the old nor the new text alone, MissingOnly adds the new one there.
    HeadTailEdit(RunMode mode, const HeadTailTexts& texts, const std::optional<HeadTailTexts>& old_texts = {});
    HeadTailEdit(const HeadTailEdit&) = delete;
    HeadTailEdit& operator=(const HeadTailEdit&) = delete;

    RunMode mode() const { return mode_; }
    const HeadTailTexts& texts() const { return texts_; }
    // Whether the edit depends on what a file carries, which EditFor then reads from its ends; otherwise every
    // file gets both texts added.
    bool reads_ends() const { return mode_ != RunMode::Add || swap_; }
    // How many bytes at each end of a file EditFor needs.
    std::size_t window() const { return window_; }

    FileEdit EditFor(const FileEnds& ends) const;
    bool CarriesBoth(const FileEnds& ends) const;

  private:
    RunMode mode_;
    const HeadTailTexts& texts_;
    bool swap_;
    CarriedText head_;
    CarriedText tail_;
    CarriedText old_head_;
    CarriedText old_tail_;
    std::size_t window_;
};

// Reads the first and the last `window` bytes of `input` (the whole file where it is short) into `buffer`,
// which the answer then points into. Fails when the file is shorter than when it was opened.
WriteResult<FileEnds> ReadFileEnds(const platform::InputFile& input, std::size_t window, std::string& buffer);
