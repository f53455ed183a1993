// Holds the streamed UTF-8 check against the byte-at-a-time reference, with the stream cut into pieces at
// places the input chooses, and fed in one piece.
//
// Input: one byte N (0..7 used), then N piece lengths (0..63 each, used in turn; all of them 0 stands for
// one piece), then the stream.

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "faults/fuzz/utf8_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size < 1 + data[0] % 8) {
        return 0;
    }
    std::vector<std::size_t> lengths;
    for (std::size_t i = 1; i <= data[0] % 8; ++i) {
        lengths.push_back(data[i] % 64);
    }
    const std::string_view stream(reinterpret_cast<const char*>(data) + 1 + lengths.size(), size - 1 - lengths.size());
    for (const auto& pieces : {lengths, std::vector<std::size_t>{}}) {
        if (const char* disagreement = reference::Utf8CheckDisagreement(stream, pieces)) {
            std::fprintf(stderr, "Utf8Check disagrees with the reference: %s\n", disagreement);
            std::abort();
        }
    }
    return 0;
}
