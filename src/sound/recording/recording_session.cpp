#include "sound/recording/recording_session.h"

#include <algorithm>

#include "project/atomic_file.h"
#include "sound/export/wav_writer.h"
#include "sound/import/pulse_histogram.h"

namespace reelo {
namespace {

// The prepared levels as -1..1 samples, read through the reader from the
// first sample after the lead-in, for a decoder that reads a SampleSource.
class LevelSource final : public SampleSource {
 public:
  explicit LevelSource(RecordingReader& reader) : reader_(reader) {}
  int rate() const override { return kDecoderSampleRate; }
  std::int64_t length() const override { return reader_.expectedLength() - kStreamLeadIn; }
  std::size_t Read(float* out, std::size_t maxSamples) override {
    std::size_t done = 0;
    while (done < maxSamples && position_ <= reader_.length()) {
      const SampleWindow window = reader_.Window(position_);
      const auto count = static_cast<std::size_t>(std::min<std::int64_t>(
          {window.count, static_cast<std::int64_t>(maxSamples - done), reader_.length() - position_ + 1}));
      for (std::size_t i = 0; i < count; ++i) out[done + i] = LevelToSample(window.data[i]);
      done += count;
      position_ += static_cast<std::int64_t>(count);
    }
    return done;
  }

 private:
  RecordingReader& reader_;
  std::int64_t position_ = kStreamLeadIn + 1;
};

// The prepared stream on its way to a run, written into the prepared copy as
// it passes.
class CopyingStream final : public ByteStream {
 public:
  explicit CopyingStream(PreparedStream& in) : in_(in) {}
  bool Open(const std::string& path) {
    const WavHeader header = MakeWavHeader(0);
    return writer_.Open(path) && writer_.Write(header.data(), header.size());
  }
  std::size_t Read(std::uint8_t* dest, std::size_t size) override {
    const std::size_t got = in_.Read(dest, size);
    if (got == 0) ended_ = true;
    if (got > 0) writer_.Write(dest, got);
    return got;
  }
  // Keeps the copy when wanted and the stream was read to its end.
  bool Commit(bool wanted) {
    if (!wanted || !ended_ || writer_.failed()) {
      writer_.Abort();
      return false;
    }
    return PatchWavSizes(writer_, writer_.size() - kWavHeaderSize) && writer_.Commit();
  }

 private:
  PreparedStream& in_;
  AtomicFileWriter writer_;
  bool ended_ = false;
};

}  // namespace

struct RecordingSession::Reading {
  RecordingReader reader;
  std::unique_ptr<PreparedStream> stream;
  std::unique_ptr<CopyingStream> copying;
  std::optional<SourceStamp> stamp;
  bool prepared = false;
  bool copied = false;   // the prepared copy now holds what this run read
  std::string filePath;  // the file the reader stands over, when it does
};

DecodeResult DecodePreparedLevels(RecordingReader& levels, SampleSource& /*samples*/, ImportState& state,
                                  const PulseBounds& bounds, ImportEvents& events) {
  return DecodeTape(state, bounds, levels, events);
}

RecordingSession::RecordingSession(std::string cacheFolder) : copy_(std::move(cacheFolder)) {}

RecordingSession::~RecordingSession() = default;

OpResult RecordingSession::Open(const std::string& path) {
  path_ = path;
  info_ = RecordingInfo{};
  takes_.clear();
  preparedSummary_.clear();
  preparedQuality_.reset();
  return ProbeRecording(path, info_);
}

bool RecordingSession::ReadsPrepared(const SessionOptions& options) const {
  return options.prepare && NeedsPreparation(info_, options.preparation);
}

bool RecordingSession::DecodesPeriods(const SessionOptions& options) const {
  return options.prepare && options.periods && options.preparation.clean && info_.readable;
}

OpResult RecordingSession::AddTake(const std::string& path) {
  if (path == path_ || std::find(takes_.begin(), takes_.end(), path) != takes_.end()) {
    return OpResult::Fail(kTakeAlreadyChosenText, path);
  }
  RecordingInfo info;
  if (OpResult probed = ProbeRecording(path, info); !probed.ok()) return probed;
  if (!info.readable) return OpResult::Fail(kSoundUnreadableText, path);
  takes_.push_back(path);
  return OpResult::Success();
}

OpResult RecordingSession::MeasureQuality(RecordingEvents& events, QualityReport& report) {
  return reelo::MeasureQuality(path_, &events, report);
}

OpResult RecordingSession::OpenReading(const SessionOptions& options, RecordingEvents& events, Reading& reading,
                                       bool& stopped) {
  stopped = false;
  reading.prepared = ReadsPrepared(options);
  if (!reading.prepared) {
    reading.filePath = path_;
    return reading.reader.Open(path_);
  }
  reading.stamp = StampOf(path_);
  if (reading.stamp && copy_.Holds(*reading.stamp, options.preparation)) {
    reading.filePath = copy_.path();
    return reading.reader.Open(copy_.path());
  }
  reading.stream = std::make_unique<PreparedStream>();
  PrepareOutcome outcome;
  if (OpResult opened = reading.stream->Open(path_, options.preparation, &events, outcome); !opened.ok()) {
    stopped = outcome.stopped;
    return stopped ? OpResult::Success() : opened;
  }
  preparedSummary_ = outcome.summary;
  preparedChannel_ = outcome.channelUsed;
  const std::int64_t expected = reading.stream->length();
  std::string copyPath;
  if (copy_.enabled() && reading.stamp && copy_.Reserve(copyPath).ok()) {
    reading.copying = std::make_unique<CopyingStream>(*reading.stream);
    if (reading.copying->Open(copyPath)) {
      reading.reader.Attach(*reading.copying, expected);
      return OpResult::Success();
    }
    reading.copying.reset();  // no copy, but the run goes on
  }
  reading.reader.Attach(*reading.stream, expected);
  return OpResult::Success();
}

OpResult RecordingSession::CloseReading(Reading& reading, bool complete) {
  if (!reading.filePath.empty()) return reading.reader.ReadOutcome(reading.filePath);
  if (!reading.stream) return OpResult::Success();
  const OpResult status = reading.stream->status();
  if (reading.stream->quality()) preparedQuality_ = *reading.stream->quality();
  // A run that stopped before the end leaves no copy; a copy that cannot be
  // written only costs the next run a preparation.
  if (reading.copying) reading.copied = reading.copying->Commit(complete && status.ok());
  return status;
}

OpResult RecordingSession::Analyse(const SessionOptions& options, ImportState& state, RecordingEvents& events) {
  Reading reading;
  bool stopped = false;
  if (OpResult opened = OpenReading(options, events, reading, stopped); !opened.ok() || stopped) {
    state.stopRequested = stopped;
    return opened;
  }
  AnalyseSpectrum(state, reading.reader, events);
  OpResult closed = CloseReading(reading, !state.stopRequested);
  if (reading.copied) copy_.Remember(*reading.stamp, options.preparation);
  return closed;
}

OpResult RecordingSession::Fit(const SessionOptions& options, RecordingEvents& events,
                               std::optional<FittedBounds>& fit, bool& stopped) {
  ImportState state;
  fit.reset();
  const OpResult analysed = Analyse(options, state, events);
  stopped = state.stopRequested;
  if (!analysed.ok() || stopped) return analysed;
  fit = FitBounds(state.pulseHistogram);
  return analysed;
}

DecodeResult RecordingSession::Decode(const SessionOptions& options, ImportState& state, const PulseBounds& bounds,
                                      RecordingEvents& events) {
  if (DecodesPeriods(options)) return DecodePeriods(options, state, events);
  Reading reading;
  bool stopped = false;
  DecodeResult result;
  if (OpResult opened = OpenReading(options, events, reading, stopped); !opened.ok() || stopped) {
    static_cast<OpResult&>(result) = opened;
    result.stopped = stopped;
    state.stopRequested = stopped;
    return result;
  }
  if (reading.prepared) {
    LevelSource samples(reading.reader);
    result = preparedDecoder_(reading.reader, samples, state, bounds, events);
  } else {
    result = DecodeTape(state, bounds, reading.reader, events);
  }
  OpResult closed = CloseReading(reading, !result.stopped);
  if (reading.copied) copy_.Remember(*reading.stamp, options.preparation);
  if (!closed.ok() || closed.isWarning()) static_cast<OpResult&>(result) = closed;
  return result;
}

}  // namespace reelo
