#include "batch/utf8_check.h"

#include <cstring>

namespace {

// True when the eight bytes at `p` are all ASCII.
bool AllAscii8(const unsigned char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ull) == 0;
}

}  // namespace

bool Utf8Check::Feed(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (valid_ && p < end) {
        if (pending_ > 0) {
            if (*p < lower_ || *p > upper_) {
                valid_ = false;
                break;
            }
            lower_ = 0x80;
            upper_ = 0xBF;
            --pending_;
            ++p;
            continue;
        }
        if (end - p >= 8 && AllAscii8(p)) {
            p += 8;
            continue;
        }
        const unsigned char lead = *p++;
        if (lead < 0x80) {
            continue;
        }
        saw_non_ascii_ = true;
        lower_ = 0x80;
        upper_ = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            pending_ = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            pending_ = 2;
            if (lead == 0xE0) lower_ = 0xA0;  // no overlong forms
            if (lead == 0xED) upper_ = 0x9F;  // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            pending_ = 3;
            if (lead == 0xF0) lower_ = 0x90;  // no overlong forms
            if (lead == 0xF4) upper_ = 0x8F;  // nothing above U+10FFFF
        } else {
            valid_ = false;
        }
    }
    return valid_;
}
