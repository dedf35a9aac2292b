// Preparing a recording for the decoder: any recording libsndfile reads is
// turned into 8-bit unsigned mono samples at 22050 Hz, the form the decoder
// (and the bad-signal question's picture) reads. The samples stream straight
// into a run (PreparedStream), or are written as a WAV file with the 44-byte
// header (PrepareRecording).
//
// The work is one streaming pass over blocks of samples, with constant memory:
// channel choice, resampling (libsoxr), and, with cleaning on, removal of DC and
// hum, tracking of the signal's envelope and a slicer with hysteresis that
// writes clean levels (95 low, 159 high, 127 where the recording is silent).
// With the automatic channel choice a measuring pass comes first (the quality
// report of that pass picks the channel whose pilot tones are cleaner).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "project/op_result.h"
#include "sound/import/recording_reader.h"
#include "sound/recording/sample_source.h"
#include "sound/recording/sound_file.h"
#include "sound/recording/quality_report.h"
#include "sound/recording/recording_info.h"

namespace reelo {

enum class ChannelChoice {
  Auto,   // "авто": the channel whose pilot tones are cleaner
  Left,   // "левый": channel 1
  Right,  // "правый": channel 2 (channel 1 of a mono recording)
  Mix,    // "смесь": the mean of all channels
};

struct PrepareOptions {
  // "Очистка сигнала": DC and hum removal, level tracking and the slicer. Off,
  // the recording is only converted (channel, rate, 8 bits).
  bool clean = true;
  ChannelChoice channel = ChannelChoice::Auto;
  // Measure the whole recording for the quality report on the way (from the
  // frames the conversion reads); the automatic channel choice measures only
  // the recording's first minutes either way.
  bool measureQuality = false;
  // Turn the signal upside down (a recording made in antiphase, or a file
  // written with its polarity inverted): the decoder measures the high half-waves.
  bool invert = false;
};

// The window's defaults for a recording: cleaning on for every recording, the
// decoder's own form too (off, such a recording is read exactly as it stands).
PrepareOptions DefaultPrepareOptions(const RecordingInfo& info);

// Whether the decoder should read a prepared copy: false for an unreadable
// file (read byte by byte) and for an exact recording without cleaning (read
// as it stands, exactly as before).
bool NeedsPreparation(const RecordingInfo& info, const PrepareOptions& options);

// How a long pass tells the window how far it got and learns of a stop. The
// core calls Advance about every kPrepareReportInterval (by time, not per
// sample), so the window may process its events there.
class PrepareProgress {
 public:
  virtual ~PrepareProgress() = default;
  // A pass begins: its status text and its length in input frames.
  virtual void Begin(const std::string& label, std::int64_t totalFrames) = 0;
  // Frames done so far in this pass; return false to stop the work.
  virtual bool Advance(std::int64_t framesDone) = 0;
};

inline constexpr int kPrepareReportIntervalMs = 15;
inline constexpr const char* kPrepareStatusText = "Подготовка записи. Подождите...";
inline constexpr const char* kMeasureStatusText = "Проверка записи. Подождите...";
inline constexpr const char* kPrepareStoppedText = "Подготовка записи остановлена";
inline constexpr const char* kPrepareFailedText = "Не удалось подготовить запись";
inline constexpr const char* kPrepareWriteFailedText = "Не удалось записать подготовленную запись";

struct PrepareOutcome {
  // One line for the window: "Запись подготовлена: 44100 Гц, 16 бит, стерео ->
  // 22050 Гц, 8 бит, моно (левый канал), очистка сигнала".
  std::string summary;
  // The report measured over the whole recording, filled when measureQuality
  // asked for it (by PrepareRecording; a stream has it once read to its end).
  QualityReport quality;
  bool qualityMeasured = false;
  int channelUsed = 0;         // 0-based; -1 when the channels were mixed
  std::int64_t samplesWritten = 0;
  bool stopped = false;        // the progress asked to stop; nothing was written
};

// The preparation as a stream: Open runs the passes that must come first
// (the channel choice, the quality report when asked for, the noise floor),
// then every Read converts as much of the recording as it is asked for, so a
// run pulls the prepared samples without a file between. The same samples as
// a file by PrepareRecording, as 8-bit levels (ByteStream) or as -1..1 floats
// (SampleSource).
class PreparedStream final : public ByteStream, public SampleSource {
 public:
  PreparedStream();
  ~PreparedStream() override;
  PreparedStream(const PreparedStream&) = delete;
  PreparedStream& operator=(const PreparedStream&) = delete;

  // Errors as for PrepareRecording; a stop through progress gives an Error
  // with kPrepareStoppedText and outcome.stopped.
  OpResult Open(const std::string& source, const PrepareOptions& options, PrepareProgress* progress,
                PrepareOutcome& outcome);

  std::size_t Read(std::uint8_t* dest, std::size_t size) override;
  std::size_t Read(float* out, std::size_t maxSamples) override;
  int rate() const override { return kDecoderSampleRate; }
  // The samples expected from the recording's length (the resampler's own
  // count may differ by a few).
  std::int64_t length() const override;

  const RecordingInfo& info() const { return file_.info(); }
  std::int64_t framesDone() const;
  std::int64_t samplesGiven() const { return samplesGiven_; }
  // After the reading: an Error when the recording changed or vanished meanwhile.
  OpResult status() const;
  // The quality report, once the stream has been read to its end with
  // measureQuality asked for.
  const std::optional<QualityReport>& quality() const { return quality_; }

 private:
  struct Conversion;
  bool Produce();

  SoundFile file_;
  std::string source_;
  PrepareOptions options_;
  std::unique_ptr<Conversion> conversion_;
  std::vector<std::uint8_t> pending_;  // levels of the last block not yet read
  std::size_t taken_ = 0;
  bool ended_ = false;
  std::int64_t samplesGiven_ = 0;
  std::vector<std::uint8_t> levels_;
  std::optional<QualityReport> quality_;
};

// A level of the decoder's form as a sample of -1..1 (128 is 0).
inline float LevelToSample(std::uint8_t level) { return (static_cast<float>(level) - 128.0f) / 128.0f; }

// Prepares source into preparedPath (replaced atomically: a failure or a stop
// leaves no file there, or leaves an older file as it was). Errors, in Russian:
// the source cannot be opened or read by libsndfile, the file vanished or
// shrank while it was read, the prepared file could not be written (with the
// system's reason as the detail). progress may be null.
OpResult PrepareRecording(const std::string& source, const std::string& preparedPath,
                          const PrepareOptions& options, PrepareProgress* progress, PrepareOutcome& outcome);

// The summary line for a recording prepared with the given options into the
// channel used (-1 for a mix).
std::string PreparationSummary(const RecordingInfo& info, const PrepareOptions& options, int channelUsed);

}  // namespace reelo
