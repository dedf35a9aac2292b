// A Progress that records what an operation showed, for tests.
#pragma once

#include <string>
#include <vector>

#include "project/progress.h"

namespace reelo::testing {

class RecordingProgress final : public Progress {
 public:
  void Begin(const std::string& label, long long maximum) override {
    labels.push_back(label);
    maximums.push_back(maximum);
    ++begun;
  }
  void Step(long long value) override { values.push_back(value); }
  void End() override { ++ended; }

  std::vector<std::string> labels;
  std::vector<long long> maximums;
  std::vector<long long> values;
  int begun = 0;
  int ended = 0;
};

}  // namespace reelo::testing
