#pragma once

#include <iconv.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Plain, slow restatements of the rules the batch core follows for text, written apart from it so that
// the fuzz targets can hold the core's fast code against them.
namespace reference {

// UTF-8 as Unicode defines it, one byte at a time: each sequence is decoded to its code point, which must
// be neither overlong, a surrogate, nor above U+10FFFF. A stream counts as broken from the first byte after
// which no ending could make it valid.
class Utf8Validator {
  public:
    void Take(unsigned char byte) {
        if (broken_) {
            return;
        }
        if (byte >= 0x80) {
            saw_non_ascii_ = true;
        }
        if (missing_ == 0) {
            if (byte < 0x80) {
                return;
            }
            if (byte >= 0xC0 && byte < 0xE0) {
                Start(byte & 0x1F, 1, 0x80);
            } else if (byte >= 0xE0 && byte < 0xF0) {
                Start(byte & 0x0F, 2, 0x800);
            } else if (byte >= 0xF0 && byte < 0xF8) {
                Start(byte & 0x07, 3, 0x10000);
            } else {
                broken_ = true;  // a continuation byte without a lead, or no lead at all
                return;
            }
        } else if ((byte & 0xC0) != 0x80) {
            broken_ = true;
            return;
        } else {
            code_point_ = (code_point_ << 6) | (byte & 0x3F);
            --missing_;
        }
        // The code points this sequence can still become, whatever its missing bytes are.
        const std::uint32_t low = code_point_ << (6 * missing_);
        const std::uint32_t high = low | ((std::uint32_t{1} << (6 * missing_)) - 1);
        if (high < minimum_ || low > 0x10FFFF || (low >= 0xD800 && high <= 0xDFFF)) {
            broken_ = true;
        }
    }

    // No byte so far has broken the stream.
    bool valid_so_far() const { return !broken_; }
    // The stream so far is complete, valid UTF-8.
    bool valid() const { return !broken_ && missing_ == 0; }
    bool saw_non_ascii() const { return saw_non_ascii_; }

  private:
    void Start(std::uint32_t bits, int continuation, std::uint32_t minimum) {
        code_point_ = bits;
        missing_ = continuation;
        minimum_ = minimum;
    }

    bool broken_ = false;
    bool saw_non_ascii_ = false;
    int missing_ = 0;
    std::uint32_t code_point_ = 0;
    std::uint32_t minimum_ = 0;
};

inline bool IsValidUtf8(std::string_view bytes) {
    Utf8Validator validator;
    for (const char byte : bytes) {
        validator.Take(static_cast<unsigned char>(byte));
    }
    return validator.valid();
}

enum class Encoding { Ansi, Utf8, Utf16Le, Utf16Be, Utf32Le, Utf32Be };

struct Detected {
    Encoding encoding;
    std::size_t mark_length;
};

// A mark decides, UTF-32 before UTF-16 (FF FE 00 00 also starts with FF FE). Without one: an empty file is
// ANSI; otherwise UTF-8 when all of it is valid UTF-8 with at least one byte above 7F, ANSI else.
inline Detected Detect(std::string_view file) {
    if (file.starts_with(std::string_view("\xFF\xFE\0\0", 4))) {
        return {Encoding::Utf32Le, 4};
    }
    if (file.starts_with(std::string_view("\0\0\xFE\xFF", 4))) {
        return {Encoding::Utf32Be, 4};
    }
    if (file.starts_with("\xEF\xBB\xBF")) {
        return {Encoding::Utf8, 3};
    }
    if (file.starts_with("\xFF\xFE")) {
        return {Encoding::Utf16Le, 2};
    }
    if (file.starts_with("\xFE\xFF")) {
        return {Encoding::Utf16Be, 2};
    }
    bool non_ascii = false;
    for (const char byte : file) {
        non_ascii = non_ascii || static_cast<unsigned char>(byte) >= 0x80;
    }
    return {non_ascii && IsValidUtf8(file) ? Encoding::Utf8 : Encoding::Ansi, 0};
}

// Leading and trailing U+0020 removed, nothing else.
inline std::u16string Trim(std::u16string text) {
    while (!text.empty() && text.front() == u' ') {
        text.erase(text.begin());
    }
    while (!text.empty() && text.back() == u' ') {
        text.pop_back();
    }
    return text;
}

// The code points of UTF-16 text; nothing when a surrogate is unpaired.
inline std::optional<std::vector<std::uint32_t>> CodePoints(std::u16string_view text) {
    std::vector<std::uint32_t> points;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint32_t unit = text[i];
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return std::nullopt;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) {
                return std::nullopt;
            }
            points.push_back(0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            points.push_back(unit);
        }
    }
    return points;
}

// One code point in code page 936, as glibc's CP936 (Windows' table, applied strictly) has it.
inline std::optional<std::string> Cp936(std::uint32_t code_point) {
    static const iconv_t converter = iconv_open("CP936", "UTF-32LE");
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    char in[4] = {static_cast<char>(code_point), static_cast<char>(code_point >> 8),
                  static_cast<char>(code_point >> 16), static_cast<char>(code_point >> 24)};
    char out[8];
    char* in_at = in;
    char* out_at = out;
    std::size_t in_left = sizeof in;
    std::size_t out_left = sizeof out;
    if (iconv(converter, &in_at, &in_left, &out_at, &out_left) != 0 || in_left != 0) {
        return std::nullopt;
    }
    return std::string(out, out_at);
}

inline void Put(std::string& out, std::uint32_t value, int bytes, bool big_endian) {
    for (int i = 0; i < bytes; ++i) {
        const int shift = 8 * (big_endian ? bytes - 1 - i : i);
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

inline std::optional<std::string> Encode(std::u16string_view text, Encoding encoding) {
    const auto points = CodePoints(text);
    if (!points) {
        return std::nullopt;
    }
    std::string out;
    for (const std::uint32_t cp : *points) {
        switch (encoding) {
            case Encoding::Ansi: {
                const auto bytes = Cp936(cp);
                if (!bytes) {
                    return std::nullopt;
                }
                out += *bytes;
                break;
            }
            case Encoding::Utf8:
                if (cp < 0x80) {
                    out += static_cast<char>(cp);
                } else if (cp < 0x800) {
                    out += static_cast<char>(0xC0 | (cp >> 6));
                    out += static_cast<char>(0x80 | (cp & 0x3F));
                } else if (cp < 0x10000) {
                    out += static_cast<char>(0xE0 | (cp >> 12));
                    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (cp & 0x3F));
                } else {
                    out += static_cast<char>(0xF0 | (cp >> 18));
                    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
                    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (cp & 0x3F));
                }
                break;
            case Encoding::Utf16Le:
            case Encoding::Utf16Be: {
                const bool big = encoding == Encoding::Utf16Be;
                if (cp >= 0x10000) {
                    Put(out, 0xD800 | ((cp - 0x10000) >> 10), 2, big);
                    Put(out, 0xDC00 | ((cp - 0x10000) & 0x3FF), 2, big);
                } else {
                    Put(out, cp, 2, big);
                }
                break;
            }
            case Encoding::Utf32Le:
            case Encoding::Utf32Be:
                Put(out, cp, 4, encoding == Encoding::Utf32Be);
                break;
        }
    }
    return out;
}

}  // namespace reference
