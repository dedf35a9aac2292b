// Preparing a recording for the decoder: any recording libsndfile reads is
// turned into an 8-bit unsigned mono 22050 Hz WAV with the 44-byte header, the
// form the decoder (and the bad-signal question's picture) reads.
//
// The work is one streaming pass over blocks of samples, with constant memory:
// channel choice, resampling (libsoxr), and, with cleaning on, removal of DC and
// hum, tracking of the signal's envelope and a slicer with hysteresis that
// writes clean levels (95 low, 159 high, 127 where the recording is silent).
// With the automatic channel choice a measuring pass comes first (the quality
// report of that pass picks the channel whose pilot tones are cleaner).
#pragma once

#include <cstdint>
#include <string>

#include "project/op_result.h"
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
  // Measure the whole recording for the quality report on the way (one more
  // pass); without it only the automatic channel choice measures, and only
  // the recording's first minutes.
  bool measureQuality = false;
};

// The window's defaults for a recording: cleaning on for every readable
// recording that is not already in the decoder's form, off for one that is.
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
  // The report of the measuring pass over the whole recording, filled when
  // measureQuality asked for it.
  QualityReport quality;
  bool qualityMeasured = false;
  int channelUsed = 0;         // 0-based; -1 when the channels were mixed
  std::int64_t samplesWritten = 0;
  bool stopped = false;        // the progress asked to stop; nothing was written
};

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
