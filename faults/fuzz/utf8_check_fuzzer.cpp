// Holds the streamed UTF-8 check against the byte-at-a-time reference, with the stream cut into pieces at
// places the input chooses: after every piece, whether the stream is still valid (and whether it had a
// non-ASCII byte) must agree, and at the end whether it is complete, valid UTF-8.
//
// Input: one byte N (0..7 used), then N piece lengths (0..63 each, used in turn; all of them 0 stands for
// one piece), then the stream.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "batch/utf8_check.h"
#include "faults/fuzz/reference_text.h"

namespace {

void Fail(const char* what, std::size_t at) {
    std::fprintf(stderr, "Utf8Check disagrees with the reference: %s after %zu bytes\n", what, at);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    std::size_t piece_count = data[0] % 8;
    if (size < 1 + piece_count) {
        return 0;
    }
    const std::uint8_t* lengths = data + 1;
    const std::string_view stream(reinterpret_cast<const char*>(data + 1 + piece_count), size - 1 - piece_count);
    if (std::all_of(lengths, lengths + piece_count, [](std::uint8_t length) { return length % 64 == 0; })) {
        piece_count = 0;
    }

    Utf8Check check;
    reference::Utf8Validator expected;
    std::size_t fed = 0;
    for (std::size_t piece = 0; fed < stream.size(); ++piece) {
        const std::size_t length = piece_count == 0 ? stream.size() : lengths[piece % piece_count] % 64;
        const auto bytes = stream.substr(fed, length);
        const bool going = check.Feed(bytes);
        for (const char byte : bytes) {
            expected.Take(static_cast<unsigned char>(byte));
        }
        fed += bytes.size();
        if (going != check.valid_so_far()) {
            Fail("Feed's answer and valid_so_far", fed);
        }
        if (going != expected.valid_so_far()) {
            Fail("valid so far", fed);
        }
        if (going && check.saw_non_ascii() != expected.saw_non_ascii()) {
            Fail("non-ASCII seen", fed);
        }
    }
    if (check.Finish() != expected.valid()) {
        Fail("complete and valid at the end", fed);
    }

    Utf8Check whole;
    whole.Feed(stream);
    if (whole.Finish() != expected.valid()) {
        Fail("complete and valid, fed in one piece", stream.size());
    }
    return 0;
}
