#include "faults/fault_support.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "batch/folder_scan.h"
#include "batch/messages.h"
#include "faults/fault_os.h"
#include "platform/file_system.h"

namespace {

constexpr std::size_t kPiece = std::size_t{1} << 20;

// Printable ASCII, so that the pattern is the same text in every encoding without a byte-order mark, with
// a line break every 64 bytes.
void FillPattern(std::uint64_t offset, char* out, std::size_t count) {
    static constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-+";
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t at = offset + i;
        if (at % 64 == 63) {
            out[i] = '\n';
        } else {
            const std::uint64_t mixed = (at * 0x9E3779B97F4A7C15ull) >> 58;
            out[i] = kAlphabet[mixed];
        }
    }
}

}  // namespace

std::u16string FailureHead(std::int64_t files_done, const std::filesystem::path& where) {
    const auto digits = std::to_string(files_done);
    return std::u16string(messages::kStoppedBefore) + std::u16string(digits.begin(), digits.end()) +
           std::u16string(messages::kStoppedAfter) + u"\r\n" + platform::PathText(where) + u"\r\n";
}

void ReplaceByRename(const std::filesystem::path& path, std::string_view content) {
    const auto side = path.parent_path() / u"other-program.new";
    WriteBytes(side, content);
    std::filesystem::rename(side, path);
}

void WritePattern(const std::filesystem::path& path, std::uint64_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<char> piece(kPiece);
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
    if (!in) {
        return ::testing::AssertionFailure() << path << " cannot be read";
    }
    const auto compare = [&](std::string_view expected, std::uint64_t at) -> ::testing::AssertionResult {
        std::string actual(expected.size(), '\0');
        in.read(actual.data(), static_cast<std::streamsize>(actual.size()));
        actual.resize(static_cast<std::size_t>(in.gcount()));
        if (actual != expected) {
            const auto differ = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
            return ::testing::AssertionFailure()
                   << path << " differs at byte " << at + static_cast<std::uint64_t>(differ.first - actual.begin());
        }
        return ::testing::AssertionSuccess();
    };
    if (auto result = compare(before, 0); !result) {
        return result;
    }
    std::vector<char> expected(kPiece);
    for (std::uint64_t offset = 0; offset < size; offset += expected.size()) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(expected.size(), size - offset));
        FillPattern(offset, expected.data(), count);
        if (auto result = compare(std::string_view(expected.data(), count), before.size() + offset); !result) {
            return result;
        }
    }
    if (auto result = compare(after, before.size() + size); !result) {
        return result;
    }
    if (in.peek() != std::ifstream::traits_type::eof()) {
        return ::testing::AssertionFailure() << path << " is longer than expected";
    }
    return ::testing::AssertionSuccess();
}

std::uint64_t DigestOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read a file to digest");
    }
    std::uint64_t digest = 0xCBF29CE484222325ull;
    std::vector<char> piece(kPiece);
    while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
        for (std::streamsize i = 0; i < in.gcount(); ++i) {
            digest = (digest ^ static_cast<unsigned char>(piece[static_cast<std::size_t>(i)])) * 0x100000001B3ull;
        }
    }
    return digest;
}

std::vector<std::u16string> Temporaries(const std::vector<std::u16string>& names) {
    std::vector<std::u16string> found;
    std::copy_if(names.begin(), names.end(), std::back_inserter(found),
                 [](const std::u16string& name) { return name.starts_with(u"~varnotta-") && name.ends_with(u".tmp"); });
    return found;
}

std::vector<std::u16string> NamesIn(const std::filesystem::path& folder) {
    std::vector<std::u16string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().u16string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::u16string> NamesBesideWineLeftovers(const std::filesystem::path& folder, int& wine_leftovers) {
    auto names = NamesIn(folder);
    if (UnderWine()) {
        wine_leftovers += static_cast<int>(std::erase_if(names, [&](const std::u16string& name) {
            return name.starts_with(u"rf") && name.ends_with(u".tmp") && std::filesystem::file_size(folder / name) == 0;
        }));
    }
    return names;
}

std::vector<std::filesystem::path> VisitOrder(const std::filesystem::path& folder) {
    auto files = CollectTxtFiles(folder);
    if (!files.ok()) {
        throw std::runtime_error("cannot list a test folder");
    }
    return files.value();
}

bool WaitForMarker(const std::filesystem::path& marker, ChildProcess& child, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!std::filesystem::exists(marker)) {
        if (!child.Running() || std::chrono::steady_clock::now() > deadline) {
            return std::filesystem::exists(marker);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

namespace {

const std::string kSmall = "small";
const std::string kSmallRewritten = "H\r\nsmall\r\nT";

}  // namespace

RaceFolder::RaceFolder() : victim(folder / u"victim.txt") {
    folder.Write(u"before.txt", kSmall);
    WritePattern(victim, kVictimSize);
    folder.Write(u"after.txt", kSmall);
    order = VisitOrder(folder.path());
}

std::int64_t RaceFolder::VictimIndex() const {
    return std::find(order.begin(), order.end(), victim) - order.begin();
}

void RaceFolder::ExpectOthers(bool run_went_on) const {
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (order[i] != victim) {
            const bool rewritten = run_went_on || static_cast<std::int64_t>(i) < VictimIndex();
            EXPECT_EQ(ReadBytes(order[i]), rewritten ? kSmallRewritten : kSmall) << order[i];
        }
    }
}

std::vector<std::u16string> RunWithRace(RaceFolder& race, std::uint64_t at, const std::function<void()>& act) {
    bool acted = false;
    HookedView view(race.folder.path().u16string(), u"H", u"T", [&](const BatchProgress& progress) {
        if (!acted && progress.current_file == race.victim && progress.bytes_done == at) {
            acted = true;
            act();
        }
    });
    RunBatch(view);
    EXPECT_TRUE(acted) << "the run never reached the point of the race";
    return view.messages;
}

namespace {

constexpr std::uint64_t kSmallSize = 64 * 1024;

}  // namespace

FullDiskFolder::FullDiskFolder(const std::filesystem::path& folder, std::uint64_t big_size)
    : small(folder / u"small.txt"), big(folder / u"big.txt"), big_size(big_size) {
    WritePattern(small, kSmallSize);
    WritePattern(big, big_size);
    order = VisitOrder(folder);
}

std::int64_t FullDiskFolder::BigIndex() const {
    return std::find(order.begin(), order.end(), big) - order.begin();
}

void FullDiskFolder::ExpectStoppedAtBig(const RecordingView& view, const std::u16string& reason) const {
    EXPECT_EQ(view.messages, std::vector<std::u16string>{FailureHead(BigIndex(), big) + reason});
    EXPECT_TRUE(HoldsPattern(big, "", big_size, ""));
    const bool small_done = BigIndex() == 1;
    EXPECT_TRUE(small_done ? HoldsPattern(small, "H\r\n", kSmallSize, "\r\nT")
                           : HoldsPattern(small, "", kSmallSize, ""));
    EXPECT_EQ(view.events.back(), u"enable Command3");
}
