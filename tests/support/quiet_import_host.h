// The import's window reduced to its report: every other event does nothing,
// and each bad-signal question gets the same answer. A test that watches
// something more derives from it and overrides just that event.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sound/recording/recording_session.h"

namespace reelo::testing {

class QuietImportHost : public RecordingEvents {
 public:
  explicit QuietImportHost(QuestionReply reply = QuestionReply::Noise) : reply_(reply) {}

  // The report's lines.
  std::vector<std::string> lines;

  bool Progress(std::int64_t) override { return true; }
  void ReportLine(const std::string& line) override { lines.push_back(line); }
  QuestionReply AskBadSignal(const BadSignalQuestion&) override { return reply_; }

 private:
  QuestionReply reply_;
};

}  // namespace reelo::testing
