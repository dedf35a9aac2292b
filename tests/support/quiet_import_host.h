// The import's window reduced to its report: every other call does nothing,
// and each bad-signal question gets the same answer. A test that watches
// something more derives from it and overrides just that call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sound/import/import_host.h"

namespace reelo::testing {

class QuietImportHost : public ImportHost {
 public:
  explicit QuietImportHost(QuestionReply reply = QuestionReply::Noise) : reply_(reply) {}

  // The report's lines since the last ClearReport.
  std::vector<std::string> lines;

  void Yield() override {}
  void LockImportControls() override {}
  void UnlockImportControls() override {}
  void SetProgressMaximum(std::int64_t) override {}
  void ShowImportProgress(std::int64_t) override {}
  void FinishImportRun() override {}
  void SetStatusText(const std::string&) override {}
  void ClearReport() override { lines.clear(); }
  void AddReportLine(const std::string& line) override { lines.push_back(line); }
  void DrawSpectrum() override {}
  QuestionReply AskBadSignal(std::int64_t, int, const RecordingReader&) override { return reply_; }

 private:
  QuestionReply reply_;
};

}  // namespace reelo::testing
