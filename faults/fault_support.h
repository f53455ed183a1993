#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "batch/batch_run.h"
#include "batch/messages.h"
#include "faults/fault_os.h"
#include "platform/file_system.h"
#include "tests/test_folder.h"

inline constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
inline const std::optional<std::u16string> kDone{messages::kTaskDone};

// Whether `shown` is the report of a run stopped after `files_done` files at `where` for `reason`, or for
// any reason when that is empty.
inline ::testing::AssertionResult Stopped(std::u16string_view shown, std::int64_t files_done,
                                          const std::filesystem::path& where, std::u16string_view reason = {}) {
    const auto digits = std::to_string(files_done);
    const std::u16string head = std::u16string(messages::kStoppedBefore) +
                                std::u16string(digits.begin(), digits.end()) + std::u16string(messages::kStoppedAfter) +
                                u"\r\n" + platform::PathText(where) + u"\r\n";
    if (shown.starts_with(head) &&
        (reason.empty() ? shown.size() > head.size() : shown.substr(head.size()) == reason)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "shown: " << ::testing::PrintToString(std::u16string(shown))
                                         << "\nnot a stop at: " << ::testing::PrintToString(head);
}

// A run over `folder` with the head "H" and the tail "T", once Start's checks passed: the message it ends with.
inline std::optional<std::u16string> Rewrite(
    const std::filesystem::path& folder, const std::function<void(const BatchProgress&)>& hook = [](const auto&) {},
    std::stop_token stop = {}) {
    return OutcomeText(RewriteFolder(RunInputs{folder, HeadTailTexts(u"H", u"T")}, hook, stop));
}

// The pattern's byte at `offset`: printable ASCII, so that the pattern is the same text in every encoding
// without a byte-order mark, with a line break every 64 bytes.
inline char PatternByte(std::uint64_t offset) {
    static constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-+";
    return offset % 64 == 63 ? '\n' : kAlphabet[(offset * 0x9E3779B97F4A7C15ull) >> 58];
}

// Text of `size` bytes, different at every offset, generated on the fly so that big files need no memory.
inline void WritePattern(const std::filesystem::path& path, std::uint64_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<char> piece(kMiB);
    for (std::uint64_t offset = 0; offset < size; offset += piece.size()) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), size - offset));
        std::generate_n(piece.begin(), count, [at = offset]() mutable { return PatternByte(at++); });
        out.write(piece.data(), static_cast<std::streamsize>(count));
    }
    if (!out.flush()) {
        throw std::runtime_error("cannot write a pattern file");
    }
}

// Whether the file holds exactly `before`, the pattern of `size` bytes and `after`; says where it differs.
inline ::testing::AssertionResult HoldsPattern(const std::filesystem::path& path, std::string_view before,
                                               std::uint64_t size, std::string_view after) {
    std::ifstream in(path, std::ios::binary);
    const std::uint64_t total = before.size() + size + after.size();
    std::vector<char> piece(kMiB);
    for (std::uint64_t offset = 0; offset < total; offset += piece.size()) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), total - offset));
        in.read(piece.data(), static_cast<std::streamsize>(count));
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t at = offset + i;
            const char expected = at < before.size()          ? before[at]
                                  : at < before.size() + size ? PatternByte(at - before.size())
                                                              : after[at - before.size() - size];
            if (static_cast<std::size_t>(in.gcount()) <= i || piece[i] != expected) {
                return ::testing::AssertionFailure() << path << " differs from what is expected at byte " << at;
            }
        }
    }
    if (in.peek() != std::ifstream::traits_type::eof()) {
        return ::testing::AssertionFailure() << path << " is longer than expected";
    }
    return ::testing::AssertionSuccess();
}

// Waits until `marker` exists, giving up when `child` has ended or `limit` has passed; true when it exists.
inline bool WaitForMarker(const std::filesystem::path& marker, ChildProcess& child, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!std::filesystem::exists(marker) && child.Running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return std::filesystem::exists(marker);
}
