#include "sound/export/kind_signal.h"

#include <utility>

#include "formats/spectrum_library.h"
#include "formats/tzx_file.h"
#include "project/block_kinds.h"

namespace reelo {
namespace {

constexpr std::uint64_t kStopPauseTicks = kKindClock / 1000 * kStopPauseMs;
// A loop end plays at most this many blocks: beyond it the signal would not
// fit a WAV file anyway, and the plan stays small.
constexpr std::size_t kMaxPlannedParts = std::size_t{1} << 16;

// Kinds that carry no signal: libspectrum is never asked for their edges
// (at the end of a one-block tape it would close them with an edge of its own).
bool HasSignal(const TapeBlock& block) {
  switch (block.kind()) {
    case tzx::kStandard:
    case tzx::kTurbo:
    case tzx::kPureTone:
    case tzx::kPulseSequence:
    case tzx::kPureData:
    case tzx::kDirectRecording:
    case tzx::kCswRecording:
    case tzx::kGeneralisedData:
    case tzx::kPause: return true;
    default: return false;
  }
}

// A tone or a pulse block of no pulses has no signal: libspectrum counts down
// from the count and stops only on meeting 0 again, so it would run for ever.
bool HoldsNoPulses(const TapeBlock& block) {
  if (!block.kept || block.kept->head.empty()) return false;
  const auto& head = block.kept->head;
  if (block.kind() == tzx::kPulseSequence) return head[0] == 0;
  return block.kind() == tzx::kPureTone && head.size() >= 4 && head[2] == 0 && head[3] == 0;
}

std::int16_t JumpOffset(const TapeBlock& block) {
  const auto& head = block.kept->head;
  return static_cast<std::int16_t>(head.size() >= 2 ? head[0] | (head[1] << 8) : 0);
}

int LoopCount(const TapeBlock& block) {
  const auto& head = block.kept->head;
  return head.size() >= 2 ? head[0] | (head[1] << 8) : 0;
}

}  // namespace

std::vector<std::vector<int>> SignalPlan(const TapeProject& project) {
  const int count = project.blockCount();
  std::vector<std::vector<int>> plan(static_cast<std::size_t>(count));
  int loopStart = -1, loopCount = 0, skipUntil = -1;
  for (int i = 0; i < count; ++i) {
    if (i < skipUntil) continue;
    const TapeBlock& block = project.blocks[static_cast<std::size_t>(i)];
    auto& parts = plan[static_cast<std::size_t>(i)];
    switch (block.kind()) {
      case tzx::kLoopStart:
        // As libspectrum does: a loop of 0 repeats is no loop; a second start replaces the first.
        if (LoopCount(block) > 0) loopStart = i, loopCount = LoopCount(block);
        break;
      case tzx::kLoopEnd:
        if (loopStart >= 0) {
          for (int repeat = 1; repeat < loopCount; ++repeat) {
            for (int k = loopStart + 1; k < i; ++k) {
              const auto& inner = plan[static_cast<std::size_t>(k)];
              if (parts.size() + inner.size() > kMaxPlannedParts) break;
              parts.insert(parts.end(), inner.begin(), inner.end());
            }
          }
        }
        loopStart = -1;
        break;
      case tzx::kJump: {
        const int target = i + JumpOffset(block);
        if (target > i && target < count) skipUntil = target;
        break;
      }
      default:
        if (block.isPlainRecord() || HasSignal(block)) parts.push_back(i);
        break;
    }
  }
  return plan;
}

struct KindSignal::Part {
  SpectrumTape tape;
  bool pauseAtEnd = false;  // the block's last edge starts its pause
  bool stop = false;        // a stop of the tape: silence instead of its edges
  bool ended = false;
};

KindSignal::KindSignal(const TapeProject& project, std::vector<int> parts, bool highBefore)
    : project_(project), parts_(std::move(parts)), high_(highBefore) {}

KindSignal::~KindSignal() = default;

bool KindSignal::OpenPart() {
  part_.reset();
  while (nextPart_ < parts_.size()) {
    const TapeBlock& block = project_.blocks[static_cast<std::size_t>(parts_[nextPart_++])];
    if (HoldsNoPulses(block)) continue;
    auto part = std::make_unique<Part>();
    if (StopsTape(block)) {
      part->stop = true;
      part_ = std::move(part);
      return true;
    }
    std::vector<std::uint8_t> file;
    AppendTzxHeader(file);
    AppendTzxBlock(file, block);
    part->tape = NewSpectrumTape();
    if (libspectrum_tape_read(part->tape.get(), file.data(), file.size(), LIBSPECTRUM_ID_TAPE_TZX, nullptr) !=
        LIBSPECTRUM_ERROR_NONE) {
      continue;  // a block libspectrum cannot read has no signal
    }
    const std::optional<int> pause = PauseOf(block);
    part->pauseAtEnd = pause && *pause > 0;
    part_ = std::move(part);
    return true;
  }
  return false;
}

bool KindSignal::Next(std::uint64_t& ticks, PulseLevel& level) {
  for (;;) {
    if ((!part_ || part_->ended) && !OpenPart()) return false;
    Part& part = *part_;
    if (part.stop) {
      part.ended = true;
      ticks = kStopPauseTicks;
      level = PulseLevel::Rest;
      return true;
    }
    libspectrum_dword tstates = 0;
    int flags = 0;
    if (libspectrum_tape_get_next_edge(&tstates, &flags, part.tape.get()) != LIBSPECTRUM_ERROR_NONE) {
      part.ended = true;
      continue;
    }
    const bool blockEnd = (flags & (LIBSPECTRUM_TAPE_FLAGS_BLOCK | LIBSPECTRUM_TAPE_FLAGS_TAPE)) != 0;
    if (blockEnd) part.ended = true;
    // The end of this one-block tape is not the end of the tape: an edge of
    // no length that libspectrum adds there is no edge.
    if (blockEnd && tstates == 0) continue;
    if (!(flags & LIBSPECTRUM_TAPE_FLAGS_NO_EDGE)) {
      if (flags & LIBSPECTRUM_TAPE_FLAGS_LEVEL_LOW) {
        high_ = false;
      } else if (flags & LIBSPECTRUM_TAPE_FLAGS_LEVEL_HIGH) {
        high_ = true;
      } else {
        high_ = !high_;
      }
    }
    ticks = tstates;
    level = blockEnd && part.pauseAtEnd ? PulseLevel::Rest : high_ ? PulseLevel::High : PulseLevel::Low;
    return true;
  }
}

std::uint64_t KindSignalTicks(const TapeProject& project, const std::vector<int>& parts) {
  KindSignal signal(project, parts, false);
  std::uint64_t total = 0, ticks = 0;
  PulseLevel level;
  while (signal.Next(ticks, level)) total += ticks;
  return total;
}

}  // namespace reelo
