// An optional line sink for an operation's progress log.
#pragma once

#include <functional>
#include <string>
#include <utility>

// Operations that run both with and without a memo take a Log; an empty Log writes nothing.
class Log {
 public:
  Log() = default;
  explicit Log(std::function<void(const std::string&)> sink) : sink_(std::move(sink)) {}

  void operator()(const std::string& line) const {
    if (sink_) sink_(line);
  }
  explicit operator bool() const { return static_cast<bool>(sink_); }

 private:
  std::function<void(const std::string&)> sink_;
};
