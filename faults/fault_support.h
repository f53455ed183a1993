#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "batch/batch_run.h"
#include "faults/fault_os.h"
#include "tests/recording_view.h"
#include "tests/test_folder.h"

inline constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// Whether the run showed one message, the report of a stop after `files_done` files at `where` for
// `reason`, or for any reason when that is empty.
::testing::AssertionResult Stopped(const std::vector<std::u16string>& shown, std::int64_t files_done,
                                   const std::filesystem::path& where, std::u16string_view reason = {});

// Text of `size` bytes, different at every offset, generated on the fly so that big files need no memory.
void WritePattern(const std::filesystem::path& path, std::uint64_t size);
// Whether the file holds exactly `before`, the pattern of `size` bytes and `after`; says where it differs.
::testing::AssertionResult HoldsPattern(const std::filesystem::path& path, std::string_view before, std::uint64_t size,
                                        std::string_view after);

// The names of all entries in `folder`, sorted, less the empty "rf<hex>.tmp" files that Wine's ReplaceFileW
// leaves behind when it fails or is killed (see UnderWine), which hold nothing of the user's.
std::vector<std::u16string> NamesIn(const std::filesystem::path& folder);

// Waits until `marker` exists, giving up when `child` has ended or `limit` has passed; true when it exists.
bool WaitForMarker(const std::filesystem::path& marker, ChildProcess& child, std::chrono::seconds limit);
