// What the import's runs need from the window that starts them. The load-from-
// WAV window implements this; tests fake it. The runs never block on anything
// else and never show anything themselves.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace reelo {

class RecordingReader;

// The class of one measured pulse; the values are those the decoder's bit
// arithmetic relies on (a PulseOne adds the bit's weight, 3 - class = 1).
enum PulseClass : std::uint8_t {
  PulseNoise = 0,  // no usable pulse; ends a record in the data part
  PulsePilot = 1,  // a pilot-tone half-wave
  PulseOne = 2,    // a 1 bit
  PulseZero = 3,   // a 0 bit, or the sync pulse before the data
};

// The buttons of the bad-signal question, and its close box.
enum class QuestionReply {
  Noise,
  Pilot,
  One,
  Zero,
  StopLoading,  // "Остановить загрузку": stop the run, the pulse counts as noise
  Closed,       // the close box: the previous answer stands
};

// How often a run lets the window process its events, and how often the
// spectrum is redrawn while the analysis goes on.
inline constexpr std::chrono::milliseconds kYieldInterval{15};

class ImportHost {
 public:
  virtual ~ImportHost() = default;

  // Lets the window process pending events (the Stop button, repainting).
  // Called about every YieldInterval() while a run goes on.
  virtual void Yield() = 0;
  virtual std::chrono::nanoseconds YieldInterval() const { return kYieldInterval; }

  // Disable everything but "Стоп" / enable it all again, clear the status
  // line and set the bar to 0.
  virtual void LockImportControls() = 0;
  virtual void UnlockImportControls() = 0;
  // The bar's maximum is the recording's length F; the value is a read
  // position. A value at or above the maximum is not shown. These may only
  // record the value: painting happens when the window gets its next Yield.
  virtual void SetProgressMaximum(std::int64_t maximum) = 0;
  virtual void ShowImportProgress(std::int64_t position) = 0;
  // Bar to 0 and the status line to "Готово".
  virtual void FinishImportRun() = 0;
  virtual void SetStatusText(const std::string& text) = 0;

  virtual void ClearReport() = 0;
  virtual void AddReportLine(const std::string& line) = 0;

  // Repaints the spectrum picture from the import state's histogram.
  virtual void DrawSpectrum() = 0;

  // The bad-signal question about the pulse of the given length that ended
  // just before position. The window may read the recording to draw the
  // samples around it (BuildQuestionPicture); it must not keep the reference.
  virtual QuestionReply AskBadSignal(std::int64_t position, int length, const RecordingReader& recording) = 0;
};

}  // namespace reelo
