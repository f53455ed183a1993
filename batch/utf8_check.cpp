#include "batch/utf8_check.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The check runs over every byte of a file without a byte-order mark, so it is written for speed: runs of
// ASCII are skipped sixteen bytes (or a machine word) at a time, and a whole sequence is checked at once
// while four bytes are left in the piece. The few bytes at the end of a piece go through the byte-at-a-time
// state machine, which also carries a sequence cut in two by the piece boundary.

namespace {

// The bytes a valid sequence may have in second place, by its lead byte; 0 marks a lead that is never valid.
struct LeadRule {
    std::uint8_t length;
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
#if defined(__SSE2__)
    while (end - p >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int high_bits = _mm_movemask_epi8(block);
        if (high_bits != 0) {
            return p + __builtin_ctz(static_cast<unsigned>(high_bits));
        }
        p += 16;
    }
#endif
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

    // Whole sequences while at least four bytes are left.
    while (valid_ && end - p >= 4) {
        p = SkipAscii(p, end);
        if (end - p < 4) {
            break;
        }
        saw_non_ascii_ = true;
        do {
            const LeadRule rule = kLeadRules.rule[p[0]];
            // An invalid lead fails here too, since its bounds are empty.
            const bool valid = p[1] >= rule.lower && p[1] <= rule.upper && (rule.length < 3 || IsContinuation(p[2])) &&
                               (rule.length < 4 || IsContinuation(p[3]));
            if (!valid) {
                valid_ = false;
                return false;
            }
            p += rule.length;
        } while (end - p >= 4 && *p >= 0x80);
    }

    // The last few bytes, which may leave a sequence for the next piece.
    while (valid_ && p < end) {
        valid_ = step(*p++);
    }
    return valid_;
}
