#pragma once
// Results cross module boundaries instead of exceptions.
#include <string>
#include <utility>
#include <variant>

namespace plotdesk {

struct Error {
  std::string message;
};

template <class T>
class Result {
 public:
  Result(T value) : v_(std::move(value)) {}              // NOLINT(google-explicit-constructor)
  Result(Error error) : v_(std::move(error)) {}          // NOLINT(google-explicit-constructor)
  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() { return std::get<0>(v_); }
  const T& value() const { return std::get<0>(v_); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const std::string& error() const { return std::get<1>(v_).message; }

 private:
  std::variant<T, Error> v_;
};

// Success or an error message.
class Status {
 public:
  Status() = default;
  Status(Error error) : failed_(true), message_(std::move(error.message)) {}  // NOLINT
  static Status success() { return {}; }
  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const std::string& error() const { return message_; }

 private:
  bool failed_ = false;
  std::string message_;
};

inline Error fail(std::string message) { return Error{std::move(message)}; }

}  // namespace plotdesk
