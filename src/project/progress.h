// How long operations report their progress. The windows show it in the small
// progress window; tests record it; the core never shows anything itself.
#pragma once

#include <string>

namespace reelo {

class Progress {
 public:
  virtual ~Progress() = default;
  // Shows the progress display with its text and the bar's maximum.
  virtual void Begin(const std::string& label, long long maximum) = 0;
  // Sets the bar's value; called after every step the operation defines.
  virtual void Step(long long value) = 0;
  // Closes the progress display.
  virtual void End() = 0;
};

// A progress that shows nothing.
class NullProgress final : public Progress {
 public:
  void Begin(const std::string&, long long) override {}
  void Step(long long) override {}
  void End() override {}
};

// Shows the progress while it lives and closes it on every way out.
class ProgressScope {
 public:
  ProgressScope(Progress& progress, const std::string& label, long long maximum) : progress_(progress) {
    progress_.Begin(label, maximum);
  }
  ~ProgressScope() { progress_.End(); }
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;
  void Step(long long value) { progress_.Step(value); }

 private:
  Progress& progress_;
};

}  // namespace reelo
