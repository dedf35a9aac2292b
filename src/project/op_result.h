// What an operation that can fail tells its caller: success, success with a
// warning the window shows, or a failure that changed nothing. The texts are
// the user's words (Russian, UTF-8).
#pragma once

#include <string>
#include <utility>

namespace reelo {

struct OpResult {
  enum class Kind { Ok, Warning, Error };

  Kind kind = Kind::Ok;
  std::string message;  // empty for Ok
  std::string detail;   // the system's reason, where there is one

  static OpResult Success() { return {}; }
  static OpResult Warn(std::string text) { return {Kind::Warning, std::move(text), {}}; }
  static OpResult Fail(std::string text, std::string reason = {}) {
    return {Kind::Error, std::move(text), std::move(reason)};
  }

  bool ok() const { return kind != Kind::Error; }
  bool isWarning() const { return kind == Kind::Warning; }
};

}  // namespace reelo
