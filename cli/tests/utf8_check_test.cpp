// Utf8Check against a plain decoder that works one code point at a time: the fast paths (ASCII skipped in
// blocks, whole sequences checked at once) must give the same answers for every input and every split of
// it into pieces.

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "batch/utf8_check.h"

namespace {

// Decodes one code point at `i`; nothing when the bytes there are not a complete, valid sequence.
std::optional<std::size_t> SequenceLength(const std::string& s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned lead = byte(i);
    std::size_t length;
    char32_t c;
    if (lead < 0x80) {
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        c = lead & 0x07;
    } else {
        return std::nullopt;
    }
    if (i + length > s.size()) {
        return std::nullopt;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return std::nullopt;
        }
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return std::nullopt;
    }
    return length;
}

bool IsValid(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto length = SequenceLength(s, i);
        if (!length) {
            return false;
        }
        i += *length;
    }
    return true;
}

// True when some continuation makes `s` valid: what a streaming check must answer before the end.
bool IsValidPrefix(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto length = SequenceLength(s, i);
        if (!length) {
            break;
        }
        i += *length;
    }
    const std::string rest = s.substr(i);
    if (rest.empty()) {
        return true;
    }
    if (rest.size() >= 4) {
        return false;
    }
    for (int extra = 1; extra <= 3; ++extra) {
        for (int second = 0x80; second <= 0xBF; ++second) {
            std::string completed = rest;
            completed += static_cast<char>(second);
            completed.append(extra - 1, '\x80');
            if (IsValid(completed)) {
                return true;
            }
        }
    }
    return false;
}

bool HasNonAscii(const std::string& s) {
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return true;
        }
    }
    return false;
}

struct Outcome {
    bool valid_so_far;
    bool finished;
    bool saw_non_ascii;
    bool operator==(const Outcome&) const = default;
};

// What the check must say after being fed all of `s`.
Outcome Expected(const std::string& s) {
    const bool prefix = IsValidPrefix(s);
    // An invalid stream always failed at or after a non-ASCII byte.
    return {prefix, IsValid(s), prefix ? HasNonAscii(s) : true};
}

Outcome Fed(const std::vector<std::string_view>& pieces) {
    Utf8Check check;
    bool returned = true;
    for (const auto piece : pieces) {
        returned = check.Feed(piece);
    }
    EXPECT_EQ(returned, check.valid_so_far());
    return {check.valid_so_far(), check.Finish(), check.saw_non_ascii()};
}

std::string Encode(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
        out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                static_cast<char>(0x80 | (c & 0x3F))};
    } else {
        out += {static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
    return out;
}

// Every way of cutting `s` in two, and in three around every position, must agree with the reference
// for the whole and for the first piece alone.
void CheckAllSplits(const std::string& s) {
    const Outcome expected = Expected(s);
    ASSERT_EQ(Fed({s}), expected) << testing::PrintToString(s);
    const std::string_view view(s);
    for (std::size_t cut = 0; cut <= s.size(); ++cut) {
        ASSERT_EQ(Fed({view.substr(0, cut)}), Expected(s.substr(0, cut))) << testing::PrintToString(s) << " " << cut;
        ASSERT_EQ(Fed({view.substr(0, cut), view.substr(cut)}), expected) << testing::PrintToString(s) << " " << cut;
        if (cut + 1 <= s.size()) {
            ASSERT_EQ(Fed({view.substr(0, cut), view.substr(cut, 1), view.substr(cut + 1)}), expected)
                << testing::PrintToString(s) << " " << cut;
        }
    }
}

const char32_t kEdgeCodePoints[] = {0x00,   0x7F,   0x80,   0x7FF,   0x800,   0xFFF,   0x1000,  0xD7FF,
                                    0xE000, 0xFFFD, 0xFFFF, 0x10000, 0x3FFFF, 0x40000, 0xFFFFF, 0x10FFFF};

// Byte strings that break UTF-8 in each of its rules, plus cut-off sequences.
const std::string kBroken[] = {
    "\x80",         "\xBF",
    "\xC0\x80",     "\xC1\xBF",
    "\xC2",         "\xC2\x41",
    "\xE0\x80\x80", "\xE0\x9F\xBF",
    "\xE0\xA0",     "\xED\xA0\x80",
    "\xED\xBF\xBF", "\xED\x9F",
    "\xE4\xB8",     "\xE4\x41\x80",
    "\xE4\xB8\x41", "\xF0\x80\x80\x80",
    "\xF0\x8F\xBF", "\xF4\x90\x80\x80",
    "\xF4\x8F\xBF", "\xF5\x80\x80\x80",
    "\xF8",         "\xFE",
    "\xFF",         "\xF1\x80\x80\x41",
    "\xF0\x90\x80",
};

TEST(Utf8CheckTest, EdgeCodePointsAndBrokenSequencesAtEveryOffset) {
    for (std::size_t padding = 0; padding <= 34; ++padding) {
        const std::string ascii(padding, 'a');
        for (const char32_t c : kEdgeCodePoints) {
            CheckAllSplits(ascii + Encode(c) + ascii);
            CheckAllSplits(ascii + Encode(c));
        }
        for (const std::string& broken : kBroken) {
            CheckAllSplits(ascii + broken);
            CheckAllSplits(ascii + broken + "\xE4\xB8\xAD" + ascii);
        }
    }
}

TEST(Utf8CheckTest, RandomTextAgreesWithTheReference) {
    std::mt19937 random(20261206);
    std::vector<std::string> atoms;
    for (const char32_t c : kEdgeCodePoints) {
        atoms.push_back(Encode(c));
    }
    for (const std::string& broken : kBroken) {
        atoms.push_back(broken);
    }
    const std::string chinese = Encode(0x4E2D) + Encode(0x6587);
    for (int round = 0; round < 3000; ++round) {
        std::string s;
        const int parts = std::uniform_int_distribution<int>(1, 12)(random);
        for (int k = 0; k < parts; ++k) {
            switch (std::uniform_int_distribution<int>(0, 5)(random)) {
                case 0:
                    s.append(std::uniform_int_distribution<std::size_t>(1, 40)(random), 'x');
                    break;
                case 1:
                case 2:
                    s += chinese;
                    break;
                case 3:
                    s += Encode(std::uniform_int_distribution<char32_t>(0x80, 0xD7FF)(random));
                    break;
                case 4:
                    // Mostly valid atoms; a broken one only now and then, so that checks run long.
                    s += atoms[std::uniform_int_distribution<std::size_t>(0, std::size(kEdgeCodePoints) - 1)(random)];
                    if (std::uniform_int_distribution<int>(0, 9)(random) == 0) {
                        s += atoms[std::uniform_int_distribution<std::size_t>(0, atoms.size() - 1)(random)];
                    }
                    break;
                default:
                    s += static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
                    break;
            }
        }
        CheckAllSplits(s);
    }
}

TEST(Utf8CheckTest, LongTextFedInManySizesOfPiece) {
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        text += (i % 7 == 0) ? std::string("ascii run of some length ") : Encode(0x4E00 + i);
    }
    text += Encode(0x1F600);
    for (const std::size_t piece : {1u, 2u, 3u, 5u, 15u, 16u, 17u, 4096u}) {
        std::vector<std::string_view> pieces;
        for (std::size_t at = 0; at < text.size(); at += piece) {
            pieces.push_back(std::string_view(text).substr(at, piece));
        }
        EXPECT_EQ(Fed(pieces), (Outcome{true, true, true})) << piece;
        std::string broken = text;
        broken[text.size() / 2 + 1] = '\xFF';  // somewhere inside the long run
        pieces.clear();
        for (std::size_t at = 0; at < broken.size(); at += piece) {
            pieces.push_back(std::string_view(broken).substr(at, piece));
        }
        EXPECT_EQ(Fed(pieces), (Outcome{false, false, true})) << piece;
    }
}

}  // namespace
