#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "batch/utf8_check.h"

// UTF-8 as Unicode defines it, one byte at a time, written apart from the batch core's Utf8Check so that
// the tests and the fuzz target can hold that check's fast code against it.
namespace reference {

// Each sequence is decoded to its code point, which must be neither overlong, a surrogate, nor above
// U+10FFFF. A stream counts as broken from the first byte after which no ending could make it valid.
class Utf8Validator {
  public:
    void Take(unsigned char byte) {
        saw_non_ascii_ = saw_non_ascii_ || byte >= 0x80;
        if (broken_ || (missing_ == 0 && byte < 0x80)) {
            return;
        }
        if (missing_ > 0 && (byte & 0xC0) == 0x80) {
            code_point_ = (code_point_ << 6) | (byte & 0x3F);
            --missing_;
        } else if (missing_ == 0 && byte >= 0xC0 && byte < 0xF8) {
            missing_ = byte < 0xE0 ? 1 : byte < 0xF0 ? 2 : 3;
            code_point_ = byte & (0x7F >> (missing_ + 1));
            minimum_ = missing_ == 1 ? 0x80 : missing_ == 2 ? 0x800 : 0x10000;
        } else {
            broken_ = true;  // a continuation byte without a lead, a lead where one is missing, or no lead at all
            return;
        }
        // The code points this sequence can still become, whatever its missing bytes are.
        const std::uint32_t low = code_point_ << (6 * missing_);
        const std::uint32_t high = low | ((std::uint32_t{1} << (6 * missing_)) - 1);
        broken_ = high < minimum_ || low > 0x10FFFF || (low >= 0xD800 && high <= 0xDFFF);
    }

    // No byte so far has broken the stream.
    bool valid_so_far() const { return !broken_; }
    // The stream so far is complete, valid UTF-8.
    bool valid() const { return !broken_ && missing_ == 0; }
    bool saw_non_ascii() const { return saw_non_ascii_; }

  private:
    bool broken_ = false;
    bool saw_non_ascii_ = false;
    int missing_ = 0;
    std::uint32_t code_point_ = 0;
    std::uint32_t minimum_ = 0;
};

// Feeds `stream` to a Utf8Check in pieces of the given lengths, used in turn (none, or all of them 0: one
// piece), and to the reference; names the first answer on which they differ, or returns nothing.
inline const char* Utf8CheckDisagreement(std::string_view stream, const std::vector<std::size_t>& lengths) {
    Utf8Check check;
    Utf8Validator expected;
    const bool one_piece = lengths.empty() || std::vector<std::size_t>(lengths.size()) == lengths;
    for (std::size_t fed = 0, piece = 0; fed < stream.size(); ++piece) {
        const auto bytes = stream.substr(fed, one_piece ? stream.size() : lengths[piece % lengths.size()]);
        const bool going = check.Feed(bytes);
        for (const char byte : bytes) {
            expected.Take(static_cast<unsigned char>(byte));
        }
        fed += bytes.size();
        if (going != check.valid_so_far()) {
            return "Feed's answer and valid_so_far";
        }
        if (going != expected.valid_so_far()) {
            return "valid so far";
        }
        if (going && check.saw_non_ascii() != expected.saw_non_ascii()) {
            return "non-ASCII seen";
        }
    }
    return check.Finish() != expected.valid() ? "complete and valid at the end" : nullptr;
}

}  // namespace reference
