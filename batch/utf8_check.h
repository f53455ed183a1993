#pragma once

#include <cstdint>
#include <string_view>

// Strict UTF-8 validation of a byte stream that arrives in pieces: no overlong forms, no surrogates,
// nothing above U+10FFFF, no sequence cut off at the end.
class Utf8Check {
  public:
    // Takes the next bytes; returns false as soon as the stream is known not to be UTF-8.
    bool Feed(std::string_view bytes);
    // True when all bytes fed so far form complete, valid UTF-8.
    bool Finish() const { return valid_ && pending_ == 0; }
    bool valid_so_far() const { return valid_; }
    bool saw_non_ascii() const { return saw_non_ascii_; }

  private:
    bool valid_ = true;
    bool saw_non_ascii_ = false;
    int pending_ = 0;         // continuation bytes still expected
    std::uint8_t lower_ = 0;  // bounds of the next continuation byte (tighter after E0, ED, F0, F4)
    std::uint8_t upper_ = 0;
};
