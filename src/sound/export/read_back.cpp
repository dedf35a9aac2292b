#include "sound/export/read_back.h"

#include "sound/import/import_events.h"
#include "sound/import/tape_decoder.h"

namespace reelo {
namespace {

using ProgressFn = std::function<void(std::int64_t, std::int64_t)>;

// The import's window reduced to nothing: no report, and every doubtful pulse
// is noise. Progress goes to the caller's function.
class QuietEvents final : public ImportEvents {
 public:
  QuietEvents(const ProgressFn& progress, std::int64_t length) : progress_(progress), length_(length) {}
  bool Progress(std::int64_t position) override {
    if (progress_) progress_(position, length_);
    return true;
  }
  void ReportLine(const std::string&) override {}
  QuestionReply AskBadSignal(const BadSignalQuestion&) override { return QuestionReply::Noise; }

 private:
  const ProgressFn& progress_;
  std::int64_t length_;
};

}  // namespace

void DecodeQuietly(RecordingReader& recording, const PulseBounds& bounds, QuietDecode& result,
                   const ProgressFn& progress) {
  ImportState state;
  QuietEvents events(progress, recording.expectedLength());
  const DecodeResult decoded = DecodeTape(state, bounds, recording, events);
  result.records = std::move(state.loadedBlocks);
  result.storeFull = decoded.storeFull;
}

OpResult DecodeQuietly(const std::string& path, const PulseBounds& bounds, QuietDecode& result,
                       const ProgressFn& progress) {
  RecordingReader recording;
  if (OpResult opened = recording.Open(path); !opened.ok()) return opened;
  DecodeQuietly(recording, bounds, result, progress);
  return recording.ReadOutcome(path);
}

}  // namespace reelo
