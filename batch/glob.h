#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// A pattern for paths relative to a run's folder, with "/" between their parts: "*" stands for any run of
// characters and "?" for one, neither of them ever for a "/"; a part that is exactly "**" stands for zero or
// more whole parts; every other character, "[" included, stands for itself.
class Glob {
  public:
    // Why a pattern cannot be used.
    enum class Flaw { Empty, AbsolutePath, EmptyPart, DotPart, StarsInPart };

    // Compares as the system compares names: without regard to case on Windows, exactly elsewhere; "\"
    // separates parts too where the system takes it for a separator.
    static std::variant<Glob, Flaw> Parse(std::u16string_view text);

    // `path` is relative, with "/" between its parts.
    bool Matches(std::u16string_view path) const;

  private:
    explicit Glob(std::vector<std::u16string> parts) : parts_(std::move(parts)) {}

    std::vector<std::u16string> parts_;  // folded where names are compared without regard to case
};
