#include "formats/signal_blocks.h"

#include <algorithm>

#include "sound/export/read_back.h"
#include "sound/export/tape_signal.h"
#include "sound/export/wav_writer.h"

namespace reelo {
namespace {

constexpr std::uint64_t kClockHz = 3500000;
constexpr std::int64_t kLeadInSamples = 1000;
constexpr std::int64_t kTailSamples = 1000;

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

// The blocks' edges as levels held for whole samples, pulled by the decoder:
// a lead-in at the rest level, the blocks, then a tail at the rest level.
class EdgeStream final : public ByteStream {
 public:
  EdgeStream(libspectrum_tape* tape, int first, int count, const std::function<void()>& tick)
      : tape_(tape), next_(first), end_(first + count), tick_(tick), pending_(kLeadInSamples) {}

  std::size_t Read(std::uint8_t* dest, std::size_t size) override {
    std::size_t done = 0;
    while (done < size) {
      if (pending_ == 0 && !NextRun()) break;
      const auto part = static_cast<std::size_t>(std::min<std::int64_t>(pending_, static_cast<std::int64_t>(size - done)));
      std::fill_n(dest + done, part, level_);
      done += part;
      pending_ -= static_cast<std::int64_t>(part);
    }
    return done;
  }

  bool cut() const { return cut_; }

 private:
  // The next level and how long it holds; false at the end of the signal.
  bool NextRun() {
    while (!finished_) {
      if (tailNext_ || (!inBlock_ && !StartBlock())) {
        Finish();
        return pending_ > 0;
      }
      libspectrum_dword tstates = 0;
      int flags = 0;
      if (libspectrum_tape_get_next_edge(&tstates, &flags, tape_) != LIBSPECTRUM_ERROR_NONE) {
        inBlock_ = false;
        continue;
      }
      if (flags & (LIBSPECTRUM_TAPE_FLAGS_BLOCK | LIBSPECTRUM_TAPE_FLAGS_TAPE)) inBlock_ = false;
      if (++edges_ % (1 << 20) == 0 && tick_) tick_();
      if (Edge(tstates, flags)) return true;
    }
    return false;
  }

  bool StartBlock() {
    while (next_ < end_) {
      const int n = next_++;
      if (libspectrum_tape_nth_block(tape_, n) != LIBSPECTRUM_ERROR_NONE) continue;
      if (HoldsNoPulses(libspectrum_tape_current_block(tape_))) continue;
      inBlock_ = true;
      return true;
    }
    return false;
  }

  void Finish() {
    finished_ = true;
    level_ = kRestLevel;
    pending_ = kTailSamples;
  }

  // Time passes by tstates, then the edge the flags describe happens. True
  // when a run of samples is ready.
  bool Edge(libspectrum_dword tstates, int flags) {
    clock_ += tstates;
    // Whole seconds and the rest apart, so the product never overflows.
    const std::uint64_t rate = kSampleRate;
    const auto sample = static_cast<std::int64_t>(clock_ / kClockHz * rate + clock_ % kClockHz * rate / kClockHz);
    const std::int64_t run = std::min({sample - emitted_, kMaxRenderedRun, kMaxRenderedSamples - written_});
    emitted_ = sample;
    level_ = high_ ? kHighLevel : kLowLevel;
    pending_ = std::max<std::int64_t>(run, 0);
    written_ += pending_;
    if (flags & LIBSPECTRUM_TAPE_FLAGS_LEVEL_LOW) {
      high_ = false;
    } else if (flags & LIBSPECTRUM_TAPE_FLAGS_LEVEL_HIGH) {
      high_ = true;
    } else if (!(flags & LIBSPECTRUM_TAPE_FLAGS_NO_EDGE)) {
      high_ = !high_;
    }
    if (written_ >= kMaxRenderedSamples) {
      // The signal is cut here: this run still goes out, then the tail.
      cut_ = true;
      tailNext_ = true;
    }
    return pending_ > 0;
  }

  libspectrum_tape* tape_;
  int next_, end_;
  const std::function<void()>& tick_;
  std::int64_t pending_;
  std::uint8_t level_ = kRestLevel;
  std::uint64_t clock_ = 0;
  std::int64_t emitted_ = 0;
  std::int64_t written_ = 0;
  long long edges_ = 0;
  bool high_ = false;
  bool inBlock_ = false;
  bool finished_ = false;
  bool tailNext_ = false;
  bool cut_ = false;
};

}  // namespace

OpResult DecodeSignalBlocks(libspectrum_tape* tape, int first, int count, SignalDecode& result,
                            const std::function<void()>& tick) {
  EdgeStream stream(tape, first, count, tick);
  RecordingReader recording;
  recording.Attach(stream, 0);
  QuietDecode decoded;
  const auto progress = [&tick](std::int64_t, std::int64_t) {
    if (tick) tick();
  };
  DecodeQuietly(recording, PulseBounds{}, decoded, progress);
  result.records = std::move(decoded.records);
  result.storeFull = decoded.storeFull;
  result.signalCut = stream.cut();
  return OpResult::Success();
}

}  // namespace reelo
