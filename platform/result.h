#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <type_traits>
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

// The outcome of an operation that yields a value or fails; the failure is the system's Error unless a
// layer above has failures of its own.
template <typename T, typename E = Error>
class [[nodiscard]] Result {
  public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(E error) : state_(std::in_place_index<1>, std::move(error)) {}
    // Any failure that E can be made from, such as one alternative of a variant.
    template <typename F>
    requires(std::is_constructible_v<E, F&&> && !std::is_constructible_v<T, F&&>) Result(F&& error)
        : state_(std::in_place_index<1>, std::forward<F>(error)) {}

    bool ok() const { return state_.index() == 0; }
    T& value() { return std::get<0>(state_); }
    const T& value() const { return std::get<0>(state_); }
    const E& error() const { return std::get<1>(state_); }

  private:
    std::variant<T, E> state_;
};

// The outcome of an operation that yields nothing or fails.
template <typename E = Error>
class [[nodiscard]] BasicStatus {
  public:
    BasicStatus() = default;
    BasicStatus(E error) : error_(std::move(error)) {}
    template <typename F>
    requires std::is_constructible_v<E, F&&> BasicStatus(F&& error) : error_(std::in_place, std::forward<F>(error)) {}

    bool ok() const { return !error_; }
    const E& error() const { return *error_; }

  private:
    std::optional<E> error_;
};
using Status = BasicStatus<>;

}  // namespace platform
