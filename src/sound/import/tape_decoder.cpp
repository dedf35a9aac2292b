#include "sound/import/tape_decoder.h"

#include <algorithm>
#include <utility>

#include "sound/import/pulse_measure.h"
#include "sound/import/recording_reader.h"

namespace reelo {
namespace {

constexpr int kBitsPerByte = 8;
constexpr std::size_t kLengthFieldSize = 2;

class TapeDecoder {
 public:
  enum class Outcome { Finished, StoreFull, Stopped };

  TapeDecoder(ImportRun& run, const PulseBounds& bounds) : run_(run), classes_(bounds) {}

  Outcome Run() {
    while (!Ended()) {
      run_.state.dataFound = false;
      if (!SearchFor(PulsePilot)) return Outcome::Stopped;
      if (Ended()) break;
      if (!SearchFor(PulseZero)) return Outcome::Stopped;
      if (Ended()) break;
      run_.state.dataFound = true;
      run_.events.ReportLine(kReportDataFound);
      // The store is found full only when another record begins, so a tape of
      // exactly the store's size decodes without the message.
      if (run_.state.loadedBlockCount() >= kMaxLoadedBlocks) {
        run_.events.ReportLine(kReportStoreFull);
        return Outcome::StoreFull;
      }
      if (!ReadRecord()) return Outcome::Stopped;
    }
    return Outcome::Finished;
  }

 private:
  // The read position is past F (a stream's F is known once it has ended).
  bool Ended() const { return run_.position > run_.recording.length(); }

  // Classifies the next pulse; false when a stop has been requested.
  bool Classify(PulseClass& pulse) {
    pulse = ClassifyPulse(run_, classes_);
    return !run_.state.stopRequested;
  }

  // The pulses the cursor holds whose pacer ticks would do nothing, for the
  // loops below that take them without a call per pulse. None while a stop is
  // pending (one the window asked for during a report line), so the next
  // pulse goes through Classify and the stop is seen after it, as always.
  PulseCursor::QuietPulses Quiet() const {
    const PulseCursor::QuietPulses quiet = run_.cursor.Quiet(run_.recording, run_.position, run_.pacer);
    return run_.state.stopRequested ? PulseCursor::QuietPulses{quiet.first, quiet.first} : quiet;
  }

  // Passes over the quiet pulses up to the first of the wanted class (taken;
  // true) or the first that needs the bad-signal question (left for Classify).
  // Within them the recording cannot end and no stop can come.
  bool PassQuiet(PulseClass wanted) {
    const auto [first, last] = Quiet();
    const bool dataFound = run_.state.dataFound;
    const PulseCursor::HeldPulse* at = first;
    bool found = false;
    for (; at < last; ++at) {
      const std::uint8_t pulse = classes_.Lookup(PulseCursor::LengthOf(*at), dataFound);
      if (pulse == PulseClassTable::kAsk) break;
      if (pulse == wanted) {
        found = true;
        ++at;
        break;
      }
    }
    run_.cursor.Taken(at, run_.position);
    return found;
  }

  // Takes the bits of a byte from bit `from` on out of the quiet pulses, up to
  // the first pulse that needs the question: returns the bit the byte has
  // reached; lost set when the last pulse taken was no bit.
  int TakeQuietBits(int from, std::uint8_t& byte, bool& lost) {
    auto [at, last] = Quiet();
    last = at + std::min<std::ptrdiff_t>(last - at, kBitsPerByte - from);
    const bool dataFound = run_.state.dataFound;
    int bit = from;
    unsigned bits = byte;
    for (; at < last; ++at) {
      const std::uint8_t pulse = classes_.Lookup(PulseCursor::LengthOf(*at), dataFound);
      if (pulse == PulseClassTable::kAsk) break;
      if (pulse != PulseOne && pulse != PulseZero) {
        lost = true;
        ++at;
        break;
      }
      // The bits of random data cannot be guessed: no branch on their value.
      bits |= static_cast<unsigned>(pulse == PulseOne) << (kBitsPerByte - 1 - bit);
      ++bit;
    }
    run_.cursor.Taken(at, run_.position);
    byte = static_cast<std::uint8_t>(bits);
    return bit;
  }

  // Passes over pulses until one of the wanted class or the end of the recording.
  bool SearchFor(PulseClass wanted) {
    PulseClass pulse = PulseNoise;
    do {
      if (PassQuiet(wanted)) return true;
      if (!Classify(pulse)) return false;
    } while (!Ended() && pulse != wanted);
    return true;
  }

  // Reads eight bit pulses into byte; false in lost when a pulse was no bit
  // (the bits gathered so far are dropped). False on a stop request. The
  // quiet pulses are taken in a loop, the others one by one.
  bool ReadByte(std::uint8_t& byte, bool& lost) {
    byte = 0;
    lost = false;
    for (int i = 0;;) {
      i = TakeQuietBits(i, byte, lost);
      if (lost || i == kBitsPerByte) return true;
      PulseClass pulse = PulseNoise;
      if (!Classify(pulse)) return false;
      if (pulse != PulseOne && pulse != PulseZero) {
        lost = true;
        return true;
      }
      if (pulse == PulseOne) byte = static_cast<std::uint8_t>(byte | (0x80 >> i));
      if (++i == kBitsPerByte) return true;
    }
  }

  int RecordLength() const { return static_cast<int>(record_.size() - kLengthFieldSize); }

  void CompleteRecord() {
    const int length = RecordLength();
    record_.set(0, static_cast<std::uint8_t>(length & 0xFF));
    record_.set(1, static_cast<std::uint8_t>(length >> 8));
    run_.state.loadedBlocks.push_back(std::move(record_));
    run_.events.ReportLine(BlockReportLine(length));
  }

  // A record that ends before its first whole byte is reported as lost.
  void EndRecord() {
    if (RecordLength() > 0) {
      CompleteRecord();
    } else {
      run_.events.ReportLine(kReportSignalLost);
    }
  }

  // The byte loop of one record. A record ends at the first pulse that is no
  // bit, or when it has reached the longest length a record can have. False
  // on a stop request; the record being read is then dropped.
  bool ReadRecord() {
    record_.assign(kLengthFieldSize, 0);
    bool ended = false;
    while (!Ended() && !ended) {
      std::uint8_t byte = 0;
      bool lost = false;
      if (!ReadByte(byte, lost)) return false;
      if (!lost) record_.push_back(byte);
      ended = lost || RecordLength() >= kMaxLoadedRecordLength;
      if (ended) EndRecord();
    }
    return true;
  }

  ImportRun& run_;
  const PulseClassTable classes_;
  TapeBlock record_;
};

}  // namespace

std::string BlockReportLine(int length) { return "          Блок данных" + NumberText(length) + " байт."; }

std::string BlocksFoundLine(int count) { return "Найдено блоков:" + NumberText(count); }

DecodeResult DecodeTape(ImportState& state, const PulseBounds& bounds, RecordingReader& recording,
                        ImportEvents& events) {
  state.stopRequested = false;
  state.loadedBlocks.clear();
  events.ReportLine(kReportLoading);
  events.Begin(kDecodeStatusText, recording.expectedLength());
  ImportRun run(recording, events, state, kDecodeStartPosition);
  const TapeDecoder::Outcome outcome = TapeDecoder(run, bounds).Run();
  DecodeResult result;
  result.stopped = outcome == TapeDecoder::Outcome::Stopped;
  result.storeFull = outcome == TapeDecoder::Outcome::StoreFull;
  if (!result.stopped) {
    events.ReportLine(kReportFinished);
    events.ReportLine(BlocksFoundLine(state.loadedBlockCount()));
  }
  return result;
}

DecodeResult DecodeTape(ImportState& state, const PulseBounds& bounds, const std::string& wavFileName,
                        ImportEvents& events) {
  DecodeResult result;
  if (wavFileName.empty()) return result;
  RecordingReader recording;
  if (OpResult opened = recording.Open(wavFileName); !opened.ok()) {
    static_cast<OpResult&>(result) = opened;
    return result;
  }
  result = DecodeTape(state, bounds, recording, events);
  static_cast<OpResult&>(result) = recording.ReadOutcome(wavFileName);
  return result;
}

}  // namespace reelo
