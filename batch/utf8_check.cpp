#include "batch/utf8_check.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The check runs over every byte of a file without a byte-order mark, so it is written for speed. Where SSE2
// is available, sixteen bytes are checked at once from bit masks of their kinds; elsewhere, ASCII runs are
// skipped a machine word at a time and each sequence is checked whole. The last few bytes of a piece go
// through the byte-at-a-time state machine, which also carries a sequence cut in two by the piece boundary.

namespace {

// How long a sequence is and which bytes it may have in second place, by its lead byte.
struct LeadRule {
    std::uint8_t length;  // 0: never a valid lead
    std::uint8_t lower;
    std::uint8_t upper;
};

constexpr LeadRule RuleFor(unsigned lead) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        return {2, 0x80, 0xBF};
    }
    if (lead == 0xE0) {
        return {3, 0xA0, 0xBF};  // no overlong forms
    }
    if (lead == 0xED) {
        return {3, 0x80, 0x9F};  // no surrogates
    }
    if (lead >= 0xE1 && lead <= 0xEF) {
        return {3, 0x80, 0xBF};
    }
    if (lead == 0xF0) {
        return {4, 0x90, 0xBF};  // no overlong forms
    }
    if (lead >= 0xF1 && lead <= 0xF3) {
        return {4, 0x80, 0xBF};
    }
    if (lead == 0xF4) {
        return {4, 0x80, 0x8F};  // nothing above U+10FFFF
    }
    return {0, 0xFF, 0x00};  // an empty range: no second byte passes
}

struct LeadRules {
    LeadRule rule[256];
    constexpr LeadRules() : rule() {
        for (unsigned lead = 0; lead < 256; ++lead) {
            rule[lead] = RuleFor(lead);
        }
    }
};

constexpr LeadRules kLeadRules;

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The first byte at or after `p` that is not ASCII, or `end`.
const unsigned char* SkipAscii(const unsigned char* p, const unsigned char* end) {
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        if ((word & 0x8080808080808080ull) != 0) {
            break;
        }
        p += 8;
    }
    while (p < end && *p < 0x80) {
        ++p;
    }
    return p;
}

// Checks whole sequences from `p`, the start of a non-ASCII sequence, up to the next ASCII byte or `stop`,
// while at least four bytes are left. Returns where it stopped, always at the start of a sequence, or
// nothing at the first invalid sequence.
const unsigned char* CheckSequences(const unsigned char* p, const unsigned char* stop, const unsigned char* end) {
    while (p < stop && end - p >= 4 && *p >= 0x80) {
        const LeadRule rule = kLeadRules.rule[p[0]];
        // An invalid lead fails here too, since its bounds are empty.
        const bool valid = p[1] >= rule.lower && p[1] <= rule.upper && (rule.length < 3 || IsContinuation(p[2])) &&
                           (rule.length < 4 || IsContinuation(p[3]));
        if (!valid) {
            return nullptr;
        }
        p += rule.length;
    }
    return p;
}

#if defined(__SSE2__)

std::uint32_t Mask(__m128i bytes) {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(bytes));
}

// Checks sixteen bytes at a time from `p`, the start of a sequence, while sixteen are left. Each byte's kind
// becomes one bit of a mask; the block is valid when continuation bytes stand exactly where the leads before
// them require them. Blocks with a lead whose second byte has tighter bounds (E0, ED, F0, F4) or with a byte
// that is never valid go to the sequence check. Returns where it stopped, at the start of a sequence, or
// nothing at invalid bytes.
const unsigned char* CheckBlocks(const unsigned char* p, const unsigned char* end, bool& saw_non_ascii) {
    const __m128i top2 = _mm_set1_epi8(static_cast<char>(0xC0));
    const __m128i top3 = _mm_set1_epi8(static_cast<char>(0xE0));
    const __m128i top4 = _mm_set1_epi8(static_cast<char>(0xF0));
    const __m128i continuation = _mm_set1_epi8(static_cast<char>(0x80));
    while (end - p >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const std::uint32_t high = Mask(block);
        if (high == 0) {
            p += 16;
            continue;
        }
        saw_non_ascii = true;
        const std::uint32_t special =
            Mask(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(0xE0))),
                                           _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(0xED)))),
                              _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(0xF0))),
                                           _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(0xF4)))))) |
            Mask(_mm_cmpeq_epi8(_mm_and_si128(block, _mm_set1_epi8(static_cast<char>(0xFE))), top2)) |  // C0, C1
            Mask(_mm_cmpeq_epi8(_mm_min_epu8(block, _mm_set1_epi8(static_cast<char>(0xF5))),
                                _mm_set1_epi8(static_cast<char>(0xF5))));  // F5 to FF
        if (special != 0) {
            const unsigned char* next = CheckSequences(p + __builtin_ctz(high), p + 16, end);
            if (next == nullptr) {
                return nullptr;
            }
            p = next;
            continue;
        }
        const std::uint32_t follower = Mask(_mm_cmpeq_epi8(_mm_and_si128(block, top2), continuation));
        const std::uint32_t lead = high & ~follower;
        const std::uint32_t lead3 = Mask(_mm_cmpeq_epi8(_mm_and_si128(block, top3), top3));
        const std::uint32_t lead4 = Mask(_mm_cmpeq_epi8(_mm_and_si128(block, top4), top4));
        const std::uint32_t required = (lead << 1) | (lead3 << 2) | (lead4 << 3);
        if ((required & 0xFFFF) != follower) {
            return nullptr;
        }
        // A sequence that runs past the block starts again from its lead with the next block.
        p += (required >> 16) != 0 ? 31 - __builtin_clz(lead) : 16;
    }
    return p;
}

#else

const unsigned char* CheckBlocks(const unsigned char* p, const unsigned char*, bool&) {
    return p;
}

#endif

}  // namespace

bool Utf8Check::Feed(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();

    // One byte through the state machine; false when it breaks the stream.
    const auto step = [this](unsigned char byte) {
        if (pending_ > 0) {
            if (byte < lower_ || byte > upper_) {
                return false;
            }
            lower_ = 0x80;
            upper_ = 0xBF;
            --pending_;
            return true;
        }
        if (byte < 0x80) {
            return true;
        }
        saw_non_ascii_ = true;
        const LeadRule rule = kLeadRules.rule[byte];
        if (rule.length == 0) {
            return false;
        }
        pending_ = rule.length - 1;
        lower_ = rule.lower;
        upper_ = rule.upper;
        return true;
    };

    // First the end of a sequence that the previous piece began.
    while (valid_ && pending_ > 0 && p < end) {
        valid_ = step(*p++);
    }
    if (!valid_) {
        return false;
    }

    // The bulk, then whole sequences while at least four bytes are left.
    p = CheckBlocks(p, end, saw_non_ascii_);
    while (p != nullptr && end - p >= 4) {
        p = SkipAscii(p, end);
        if (end - p < 4) {
            break;
        }
        saw_non_ascii_ = true;
        p = CheckSequences(p, end, end);
    }
    if (p == nullptr) {
        valid_ = false;
        return false;
    }

    // The last few bytes, which may leave a sequence for the next piece.
    while (valid_ && p < end) {
        valid_ = step(*p++);
    }
    return valid_;
}
