#include "formats/signal_blocks.h"

#include <algorithm>

#include "project/system_error.h"
#include "sound/export/read_back.h"
#include "sound/export/tape_signal.h"
#include "sound/export/wav_writer.h"

namespace reelo {
namespace {

constexpr std::uint64_t kClockHz = 3500000;
constexpr std::int64_t kLeadInSamples = 1000;
constexpr std::int64_t kTailSamples = 1000;
constexpr const char* kTempFailedText = "Не удалось расшифровать сигнал ленты";

// Turns libspectrum's edges into levels held for whole samples.
class EdgeRenderer {
 public:
  explicit EdgeRenderer(TempRecording& out) : out_(out) {}

  // Time passes by tstates, then the edge the flags describe happens.
  void Edge(libspectrum_dword tstates, int flags) {
    clock_ += tstates;
    // Whole seconds and the rest apart, so the product never overflows.
    const std::uint64_t rate = kSampleRate;
    const auto sample = static_cast<std::int64_t>(clock_ / kClockHz * rate + clock_ % kClockHz * rate / kClockHz);
    Hold(sample - emitted_);
    emitted_ = sample;
    if (flags & LIBSPECTRUM_TAPE_FLAGS_LEVEL_LOW) {
      high_ = false;
    } else if (flags & LIBSPECTRUM_TAPE_FLAGS_LEVEL_HIGH) {
      high_ = true;
    } else if (!(flags & LIBSPECTRUM_TAPE_FLAGS_NO_EDGE)) {
      high_ = !high_;
    }
  }
  bool full() const { return written_ >= kMaxRenderedSamples; }

 private:
  void Hold(std::int64_t samples) {
    samples = std::min({samples, kMaxRenderedRun, kMaxRenderedSamples - written_});
    if (samples <= 0) return;
    out_.Put(high_ ? kHighLevel : kLowLevel, samples);
    written_ += samples;
  }

  TempRecording& out_;
  std::uint64_t clock_ = 0;
  std::int64_t emitted_ = 0;
  std::int64_t written_ = 0;
  bool high_ = false;
};

// A tone or a block of pulses that holds none has no signal. libspectrum must
// not be asked for its edges: it counts down from the count or up to it and
// stops only on meeting it again, so a tone of no pulses would run for four
// billion pulses and a pulse block of none would read past its pulses without
// end.
bool HoldsNoPulses(libspectrum_tape_block* block) {
  if (block == nullptr) return true;
  const libspectrum_tape_type type = libspectrum_tape_block_type(block);
  return (type == LIBSPECTRUM_TAPE_BLOCK_PURE_TONE || type == LIBSPECTRUM_TAPE_BLOCK_PULSES ||
          type == LIBSPECTRUM_TAPE_BLOCK_PULSE_SEQUENCE) &&
         libspectrum_tape_block_count(block) == 0;
}

// Renders the blocks' edges; false when the signal was cut at the limit.
bool RenderBlocks(libspectrum_tape* tape, int first, int count, TempRecording& out, const std::function<void()>& tick) {
  EdgeRenderer renderer(out);
  for (int n = first; n < first + count; ++n) {
    if (libspectrum_tape_nth_block(tape, n) != LIBSPECTRUM_ERROR_NONE) continue;
    if (HoldsNoPulses(libspectrum_tape_current_block(tape))) continue;
    for (long long edges = 1;; ++edges) {
      libspectrum_dword tstates = 0;
      int flags = 0;
      if (libspectrum_tape_get_next_edge(&tstates, &flags, tape) != LIBSPECTRUM_ERROR_NONE) break;
      renderer.Edge(tstates, flags);
      if (renderer.full() || out.error() != 0) return false;
      if (flags & (LIBSPECTRUM_TAPE_FLAGS_BLOCK | LIBSPECTRUM_TAPE_FLAGS_TAPE)) break;
      if (edges % (1 << 20) == 0 && tick) tick();
    }
  }
  return true;
}

}  // namespace

OpResult DecodeSignalBlocks(libspectrum_tape* tape, int first, int count, SignalDecode& result,
                            const std::function<void()>& tick) {
  TempRecording recording;
  if (recording.error() != 0) return OpResult::Fail(kTempFailedText, SystemErrorText(recording.error()));
  // The decoder reads from the 50th byte on and does not look at the header.
  const WavHeader header = MakeWavHeader(0);
  recording.Put(header.data(), header.size());
  recording.Put(kRestLevel, kLeadInSamples);
  result.signalCut = !RenderBlocks(tape, first, count, recording, tick) && recording.error() == 0;
  recording.Put(kRestLevel, kTailSamples);
  if (!recording.Flush()) return OpResult::Fail(kTempFailedText, SystemErrorText(recording.error()));

  QuietDecode decoded;
  const auto progress = [&tick](std::int64_t, std::int64_t) {
    if (tick) tick();
  };
  const OpResult read = DecodeQuietly(recording.path(), PulseBounds{}, decoded, progress);
  if (!read.ok()) return OpResult::Fail(kTempFailedText, read.detail);
  result.records = std::move(decoded.records);
  result.storeFull = decoded.storeFull;
  return OpResult::Success();
}

}  // namespace reelo
