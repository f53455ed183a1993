#include "faults/fault_support.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "batch/messages.h"
#include "platform/file_system.h"

namespace {

// Printable ASCII, so that the pattern is the same text in every encoding without a byte-order mark, with
// a line break every 64 bytes.
void FillPattern(std::uint64_t offset, char* out, std::size_t count) {
    static constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-+";
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t at = offset + i;
        out[i] = at % 64 == 63 ? '\n' : kAlphabet[(at * 0x9E3779B97F4A7C15ull) >> 58];
    }
}

}  // namespace

::testing::AssertionResult Stopped(const std::vector<std::u16string>& shown, std::int64_t files_done,
                                   const std::filesystem::path& where, std::u16string_view reason) {
    const auto digits = std::to_string(files_done);
    const std::u16string head = std::u16string(messages::kStoppedBefore) +
                                std::u16string(digits.begin(), digits.end()) + std::u16string(messages::kStoppedAfter) +
                                u"\r\n" + platform::PathText(where) + u"\r\n";
    if (shown.size() == 1 && shown[0].starts_with(head) &&
        (reason.empty() ? shown[0].size() > head.size() : shown[0].substr(head.size()) == reason)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "shown: " << ::testing::PrintToString(shown)
                                         << "\nnot a stop at: " << ::testing::PrintToString(head);
}

void WritePattern(const std::filesystem::path& path, std::uint64_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<char> piece(kMiB);
    for (std::uint64_t offset = 0; offset < size; offset += piece.size()) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), size - offset));
        FillPattern(offset, piece.data(), count);
        out.write(piece.data(), static_cast<std::streamsize>(count));
    }
    if (!out.flush()) {
        throw std::runtime_error("cannot write a pattern file");
    }
}

::testing::AssertionResult HoldsPattern(const std::filesystem::path& path, std::string_view before, std::uint64_t size,
                                        std::string_view after) {
    std::ifstream in(path, std::ios::binary);
    std::string actual;
    std::uint64_t at = 0;  // where the bytes compared next begin
    const auto holds = [&](std::string_view expected) {
        actual.resize(expected.size());
        in.read(actual.data(), static_cast<std::streamsize>(actual.size()));
        const bool same = in.gcount() == static_cast<std::streamsize>(expected.size()) && actual == expected;
        at += same ? expected.size() : 0;
        return same;
    };
    bool same = holds(before);
    std::vector<char> expected(kMiB);
    for (std::uint64_t offset = 0; same && offset < size; offset += expected.size()) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(expected.size(), size - offset));
        FillPattern(offset, expected.data(), count);
        same = holds(std::string_view(expected.data(), count));
    }
    if (same && holds(after) && in.peek() == std::ifstream::traits_type::eof()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << path << " differs from what is expected after byte " << at;
}

std::vector<std::u16string> NamesIn(const std::filesystem::path& folder) {
    std::vector<std::u16string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const auto name = entry.path().filename().u16string();
        if (!UnderWine() || !name.starts_with(u"rf") || !name.ends_with(u".tmp") || entry.file_size() != 0) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool WaitForMarker(const std::filesystem::path& marker, ChildProcess& child, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!std::filesystem::exists(marker) && child.Running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return std::filesystem::exists(marker);
}
