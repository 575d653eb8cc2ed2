// How the steps of the program report failure: by value, as a result that holds either what the
// step made or the message the user is shown, never both. GCC 12 in C++20 has no
// std::expected; this is the small part of it the program needs.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace snipforge {

// The message of a failed step, as the window or the command line shows it.
struct Failure {
  std::string message;
};

[[nodiscard]] inline Failure Fail(std::string message) { return Failure{std::move(message)}; }

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

  [[nodiscard]] bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  // The value; only when ok().
  [[nodiscard]] T& value() & { return std::get<0>(state_); }
  [[nodiscard]] const T& value() const& { return std::get<0>(state_); }
  [[nodiscard]] T&& value() && { return std::get<0>(std::move(state_)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }

  // The message; only when !ok().
  [[nodiscard]] const std::string& error() const { return std::get<1>(state_).message; }
  // The failure, to hand on from a step of another type.
  [[nodiscard]] Failure failure() const { return std::get<1>(state_); }

 private:
  std::variant<T, Failure> state_;
};

// The result of a step that makes nothing: success, or a message.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : failed_(true), message_(std::move(failure.message)) {}

  [[nodiscard]] bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  [[nodiscard]] const std::string& error() const { return message_; }
  [[nodiscard]] Failure failure() const { return Failure{message_}; }

 private:
  bool failed_ = false;
  std::string message_;
};

}  // namespace snipforge
