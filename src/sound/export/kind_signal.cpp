#include "sound/export/kind_signal.h"

#include <utility>

#include <zlib.h>

#include "formats/csw_file.h"
#include "formats/tape_library.h"
#include "formats/tzx_file.h"
#include "project/block_kinds.h"

namespace reelo {
namespace {

constexpr std::uint64_t kStopPauseTicks = kKindClock / 1000 * kStopPauseMs;
constexpr std::uint8_t kRunLength = 1;
constexpr std::uint8_t kZlibRunLength = 2;
constexpr std::size_t kInflateChunk = std::size_t{1} << 16;

bool InflateCsw(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  stream.next_in = const_cast<Bytef*>(data);
  stream.avail_in = static_cast<uInt>(size);
  int status = Z_OK;
  while (status == Z_OK && out.size() < kMaxCswPulseData) {
    const std::size_t used = out.size();
    out.resize(used + kInflateChunk);
    stream.next_out = out.data() + used;
    stream.avail_out = static_cast<uInt>(kInflateChunk);
    status = inflate(&stream, Z_NO_FLUSH);
    out.resize(out.size() - stream.avail_out);
  }
  inflateEnd(&stream);
  return status == Z_STREAM_END;
}

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
    case tzx::kPause:
    case tzx::kStopIn48k: return true;
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

// The pulses of a CSW recording block in samples at its rate, unpacked
// (libspectrum's TZX reader does not know the block). Empty for a rate of 0 or
// above the clock, an unknown compression or damaged packed data.
std::vector<std::uint32_t> CswPulses(const std::vector<std::uint8_t>& body, std::uint32_t& rate) {
  // Block length (4), pause (2), rate (3), compression (1), pulse count (4), data.
  constexpr std::size_t kDataOffset = 14;
  std::vector<std::uint32_t> pulses;
  if (body.size() < kDataOffset) return pulses;
  rate = body[6] | (body[7] << 8) | (static_cast<std::uint32_t>(body[8]) << 16);
  if (rate == 0 || rate > kKindClock) return pulses;
  std::vector<std::uint8_t> unpacked;
  const std::uint8_t* data = body.data() + kDataOffset;
  std::size_t size = body.size() - kDataOffset;
  if (body[9] == kZlibRunLength) {
    if (!InflateCsw(data, size, unpacked)) return pulses;
    data = unpacked.data();
    size = unpacked.size();
  } else if (body[9] != kRunLength) {
    return pulses;
  }
  for (std::size_t i = 0; i < size;) {
    std::uint32_t n = data[i++];
    if (n == 0) {
      if (size - i < 4) break;
      n = data[i] | (data[i + 1] << 8) | (data[i + 2] << 16) | (static_cast<std::uint32_t>(data[i + 3]) << 24);
      i += 4;
    }
    pulses.push_back(n);
  }
  return pulses;
}

struct KindSignal::Part {
  SpectrumTape tape;
  bool pauseAtEnd = false;  // the block's last edge starts its pause
  bool stop = false;        // a stop of the tape: silence instead of its edges
  bool ended = false;
  // A CSW recording, pulse by pulse: ends in samples at the rate, turned into
  // T-states rounded up, so that at the same rate they come back exact.
  bool isCsw = false;
  std::vector<std::uint32_t> csw;
  std::uint32_t rate = 0;
  std::size_t nextCsw = 0;
  std::uint64_t cswSamples = 0, cswTicks = 0;
  std::uint64_t pauseTicks = 0;
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
    if (block.kind() == tzx::kCswRecording) {
      part->isCsw = true;
      part->csw = CswPulses(block.kept->head, part->rate);
      part->pauseTicks = static_cast<std::uint64_t>(PauseOf(block).value_or(0)) * (kKindClock / 1000);
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
    if (part.isCsw) {
      if (NextCswPulse(part, ticks, level)) return true;
      part.ended = true;
      continue;
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

bool KindSignal::NextCswPulse(Part& part, std::uint64_t& ticks, PulseLevel& level) {
  if (part.nextCsw < part.csw.size()) {
    part.cswSamples += part.csw[part.nextCsw++];
    const std::uint64_t end = (part.cswSamples * kKindClock + part.rate - 1) / part.rate;
    ticks = end - part.cswTicks;
    part.cswTicks = end;
    high_ = !high_;
    level = high_ ? PulseLevel::High : PulseLevel::Low;
    return true;
  }
  if (part.pauseTicks == 0) return false;
  ticks = part.pauseTicks;
  part.pauseTicks = 0;
  high_ = false;
  level = PulseLevel::Rest;
  return true;
}

std::uint64_t KindSignalTicks(const TapeProject& project, const std::vector<int>& parts) {
  KindSignal signal(project, parts, false);
  std::uint64_t total = 0, ticks = 0;
  PulseLevel level;
  while (signal.Next(ticks, level)) total += ticks;
  return total;
}

}  // namespace reelo
