// Status and Expected<T>: errors as values across layers.
//
// A Status is either ok or carries an error number (the system's own numbers:
// Windows Sockets codes, 28001/28002 of the version reader, 13 for a type
// mismatch, ...) and a description. Expected<T> holds either a T or a failed
// Status. Both are cheap to move; neither throws.
#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace quorvane {

class Status {
 public:
  Status() = default;
  static Status Ok() { return Status(); }
  static Status Error(long number, std::string description, std::string source = {}) {
    Status s;
    s.number_ = number == 0 ? -1 : number;
    s.description_ = std::move(description);
    s.source_ = std::move(source);
    return s;
  }

  bool ok() const { return number_ == 0; }
  explicit operator bool() const { return ok(); }
  long number() const { return number_; }
  const std::string& description() const { return description_; }
  const std::string& source() const { return source_; }

 private:
  long number_ = 0;
  std::string description_;
  std::string source_;
};

template <class T>
class Expected {
 public:
  Expected(T value) : v_(std::move(value)) {}            // NOLINT: implicit by design
  Expected(Status error) : v_(std::move(error)) {        // NOLINT: implicit by design
    assert(!std::get<Status>(v_).ok());
  }

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() & { return std::get<T>(v_); }
  const T& value() const& { return std::get<T>(v_); }
  T&& value() && { return std::get<T>(std::move(v_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const Status& status() const {
    static const Status kOk;
    return ok() ? kOk : std::get<Status>(v_);
  }

 private:
  std::variant<T, Status> v_;
};

}  // namespace quorvane
