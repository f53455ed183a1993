#include "batch/glob.h"

#include <algorithm>
#include <span>

#include "platform/file_system.h"

namespace {

constexpr std::u16string_view kAnyParts = u"**";

// Wildcard matching in one pass that backtracks only to the last star: enough, since a later star can take
// over whatever an earlier one would have taken. Serves characters within a part and parts within a path.
template <typename Pattern, typename Subject, typename IsStar, typename MatchesOne>
bool WildMatch(std::span<const Pattern> pattern, std::span<const Subject> subject, IsStar is_star,
               MatchesOne matches_one) {
    std::size_t p = 0;
    std::size_t s = 0;
    std::size_t star = pattern.size();  // none yet
    std::size_t star_subject = 0;
    while (s < subject.size()) {
        if (p < pattern.size() && is_star(pattern[p])) {
            star = p++;
            star_subject = s;
        } else if (p < pattern.size() && matches_one(pattern[p], subject[s])) {
            ++p;
            ++s;
        } else if (star != pattern.size()) {
            p = star + 1;
            s = ++star_subject;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && is_star(pattern[p])) {
        ++p;
    }
    return p == pattern.size();
}

bool PartMatches(std::u16string_view pattern, std::u16string_view name) {
    return WildMatch(
        std::span(pattern), std::span(name), [](char16_t c) { return c == u'*'; },
        [](char16_t p, char16_t c) { return p == u'?' || p == c; });
}

// The text folded as the system compares names, with every separator made "/".
std::u16string Normalized(std::u16string_view text) {
    std::u16string normal = platform::NamesIgnoreCase() ? platform::FoldCase(text) : std::u16string(text);
    if (platform::BackslashSeparates()) {
        std::replace(normal.begin(), normal.end(), u'\\', u'/');
    }
    return normal;
}

std::vector<std::u16string_view> SplitParts(std::u16string_view path) {
    std::vector<std::u16string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t slash = path.find(u'/', start);
        parts.push_back(path.substr(start, slash - start));
        if (slash == std::u16string_view::npos) {
            return parts;
        }
        start = slash + 1;
    }
}

}  // namespace

std::variant<Glob, Glob::Flaw> Glob::Parse(std::u16string_view text) {
    const std::u16string normal = Normalized(text);
    if (normal.empty()) {
        return Flaw::Empty;
    }
    if (normal.front() == u'/') {
        return Flaw::AbsolutePath;
    }
    std::vector<std::u16string> parts;
    for (const std::u16string_view part : SplitParts(normal)) {
        if (part.empty()) {
            return Flaw::EmptyPart;
        }
        if (part == u"." || part == u"..") {
            return Flaw::DotPart;
        }
        if (part != kAnyParts && part.find(kAnyParts) != std::u16string_view::npos) {
            return Flaw::StarsInPart;
        }
        parts.emplace_back(part);
    }
    return Glob(std::move(parts));
}

bool Glob::Matches(std::u16string_view path) const {
    const std::u16string normal = Normalized(path);
    const std::vector<std::u16string_view> names = SplitParts(normal);
    return WildMatch(
        std::span(parts_), std::span(names), [](const std::u16string& part) { return part == kAnyParts; },
        [](const std::u16string& part, std::u16string_view name) { return PartMatches(part, name); });
}
