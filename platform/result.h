#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace platform {

// How an operation failed: the system's error number (errno or GetLastError) and its text,
// formatted where the error happened.
struct Error {
    std::uint32_t code = 0;
    std::u16string text;
    // Set when new content survives only in a leftover file that the user must rescue.
    std::filesystem::path kept_copy;
};

// The outcome of an operation that yields a value or fails.
template <typename T>
class [[nodiscard]] Result {
  public:
    Result(T value) : state_(std::move(value)) {}
    Result(Error error) : state_(std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    T& value() { return std::get<0>(state_); }
    const T& value() const { return std::get<0>(state_); }
    const Error& error() const { return std::get<1>(state_); }

  private:
    std::variant<T, Error> state_;
};

// The outcome of an operation that yields nothing or fails.
class [[nodiscard]] Status {
  public:
    Status() = default;
    Status(Error error) : error_(std::move(error)) {}

    bool ok() const { return !error_; }
    const Error& error() const { return *error_; }

  private:
    std::optional<Error> error_;
};

}  // namespace platform
