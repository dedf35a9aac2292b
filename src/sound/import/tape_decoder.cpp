#include "sound/import/tape_decoder.h"

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

  TapeDecoder(ImportRun& run, const PulseBounds& bounds)
      : run_(run), bounds_(bounds), fileLength_(run.recording.length()) {}

  Outcome Run() {
    while (run_.position <= fileLength_) {
      run_.state.dataFound = false;
      if (!SearchFor(PulsePilot)) return Outcome::Stopped;
      if (run_.position > fileLength_) break;
      if (!SearchFor(PulseZero)) return Outcome::Stopped;
      if (run_.position > fileLength_) break;
      run_.state.dataFound = true;
      run_.host.AddReportLine(kReportDataFound);
      // The store is found full only when another record begins, so a tape of
      // exactly the store's size decodes without the message.
      if (run_.state.loadedBlockCount() >= kMaxLoadedBlocks) {
        run_.host.AddReportLine(kReportStoreFull);
        return Outcome::StoreFull;
      }
      if (!ReadRecord()) return Outcome::Stopped;
    }
    return Outcome::Finished;
  }

 private:
  // Classifies the next pulse; false when a stop has been requested.
  bool Classify(PulseClass& pulse) {
    pulse = ClassifyPulse(run_, bounds_);
    return !run_.state.stopRequested;
  }

  void ProgressStep() {
    if (pulses_ % kPulsesPerProgressStep == 0) run_.host.ShowImportProgress(run_.position);
    ++pulses_;
  }

  // Passes over pulses until one of the wanted class or the end of the recording.
  bool SearchFor(PulseClass wanted) {
    PulseClass pulse = PulseNoise;
    do {
      if (!Classify(pulse)) return false;
      ProgressStep();
    } while (run_.position <= fileLength_ && pulse != wanted);
    return true;
  }

  // Reads eight bit pulses into byte; false in lost when a pulse was no bit
  // (the bits gathered so far are dropped). False on a stop request.
  bool ReadByte(std::uint8_t& byte, bool& lost) {
    byte = 0;
    lost = false;
    for (int i = 0; i < kBitsPerByte; ++i) {
      PulseClass pulse = PulseNoise;
      if (!Classify(pulse)) return false;
      if (pulse != PulseOne && pulse != PulseZero) {
        lost = true;
        return true;
      }
      if (pulse == PulseOne) byte = static_cast<std::uint8_t>(byte | (0x80 >> i));
    }
    return true;
  }

  int RecordLength() const { return static_cast<int>(record_.size() - kLengthFieldSize); }

  void CompleteRecord() {
    const int length = RecordLength();
    record_[0] = static_cast<std::uint8_t>(length & 0xFF);
    record_[1] = static_cast<std::uint8_t>(length >> 8);
    run_.state.loadedBlocks.push_back(std::move(record_));
    run_.host.AddReportLine(BlockReportLine(length));
  }

  // A record that ends before its first whole byte is reported as lost.
  void EndRecord() {
    if (RecordLength() > 0) {
      CompleteRecord();
    } else {
      run_.host.AddReportLine(kReportSignalLost);
    }
  }

  // The byte loop of one record. A record ends at the first pulse that is no
  // bit, or when it has reached the longest length a record can have. False
  // on a stop request; the record being read is then dropped.
  bool ReadRecord() {
    record_.assign(kLengthFieldSize, 0);
    bool ended = false;
    while (run_.position <= fileLength_ && !ended) {
      std::uint8_t byte = 0;
      bool lost = false;
      if (!ReadByte(byte, lost)) return false;
      if (!lost) record_.push_back(byte);
      ended = lost || RecordLength() >= kMaxLoadedRecordLength;
      if (ended) EndRecord();
      ProgressStep();
    }
    return true;
  }

  ImportRun& run_;
  const PulseBounds bounds_;
  const std::int64_t fileLength_;
  long long pulses_ = 0;
  TapeBlock record_;
};

void StartRun(ImportState& state, ImportHost& host, std::int64_t fileLength) {
  host.LockImportControls();
  state.stopRequested = false;
  host.ClearReport();
  host.AddReportLine(kReportLoading);
  host.SetProgressMaximum(fileLength);
  host.SetStatusText(kDecodeStatusText);
  state.loadedBlocks.clear();
}

}  // namespace

std::string BlockReportLine(int length) { return "          Блок данных" + NumberText(length) + " байт."; }

std::string BlocksFoundLine(int count) { return "Найдено блоков:" + NumberText(count); }

OpResult DecodeTape(ImportState& state, const PulseBounds& bounds, const std::string& wavFileName, ImportHost& host) {
  if (wavFileName.empty()) return OpResult::Success();
  RecordingReader recording;
  if (OpResult opened = recording.Open(wavFileName); !opened.ok()) return opened;

  StartRun(state, host, recording.length());
  ImportRun run(recording, host, state, kDecodeStartPosition);
  const TapeDecoder::Outcome outcome = TapeDecoder(run, bounds).Run();
  recording.Close();
  if (outcome != TapeDecoder::Outcome::Stopped) {
    host.FinishImportRun();
    host.AddReportLine(kReportFinished);
    host.AddReportLine(BlocksFoundLine(state.loadedBlockCount()));
  }
  host.UnlockImportControls();
  return recording.ReadOutcome(wavFileName);
}

}  // namespace reelo
