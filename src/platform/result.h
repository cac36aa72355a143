// Failures as values: every operation that can fail returns a Status or a Result<T>
// carrying one message text. Nothing in the service reports failure by unwinding.
#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace sv {

// A failure message, ready to be shown to a user or written to the console.
struct Error {
  std::string message;
};

class [[nodiscard]] Status {
 public:
  Status() = default;  // success
  Status(Error e) : message_(std::move(e.message)), ok_(false) {}
  static Status Ok() { return Status(); }

  bool ok() const { return ok_; }
  explicit operator bool() const { return ok_; }
  // Only meaningful when !ok().
  const std::string& message() const { return message_; }

 private:
  std::string message_;
  bool ok_ = true;
};

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
  Result(Error e) : v_(std::in_place_index<1>, std::move(e)) {}

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }

  // value() and error() must only be called on the matching state.
  T& value() & {
    assert(ok());
    return std::get<0>(v_);
  }
  const T& value() const& {
    assert(ok());
    return std::get<0>(v_);
  }
  T&& value() && {
    assert(ok());
    return std::get<0>(std::move(v_));
  }
  const std::string& error() const {
    assert(!ok());
    return std::get<1>(v_).message;
  }
  Status status() const { return ok() ? Status() : Status(Error{error()}); }

 private:
  std::variant<T, Error> v_;
};

}  // namespace sv
