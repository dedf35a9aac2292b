// One recording from the moment it is chosen to its decoded records: what it
// is (probe), its quality, its preparation, the fitted bounds and the
// decoding, with the prepared copy kept between runs. reelo-cli, the
// load-from-WAV window, the check after an export and the tests all go
// through it, so the way a recording is read is written once.
//
// What a run reads: the recording itself, byte by byte (the exact path: an
// 8-bit mono file decoded as it stands, or a file libsndfile does not know),
// or its prepared samples, streamed from the preparation as the run pulls
// them, or read from the prepared copy a previous run left. A decoding with
// cleaning on and no bounds of the user's reads by periods instead: the
// recording and every other take of the same tape straight from their files
// at their own rates, each channel on its own when the channel is left to
// choose, the records merged across channels and takes.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "project/op_result.h"
#include "sound/import/import_events.h"
#include "sound/import/import_state.h"
#include "sound/import/pulse_classifier.h"
#include "sound/import/recording_reader.h"
#include "sound/import/tape_decoder.h"
#include "sound/recording/fitted_bounds.h"
#include "sound/recording/prepared_copy.h"
#include "sound/recording/preparation.h"
#include "sound/recording/quality_report.h"

namespace reelo {

// The events of a session: those of the runs, and the passes of the
// preparation (Begin with their label and length in frames, Advance with the
// frames done), which by default report like a run's progress.
class RecordingEvents : public ImportEvents, public PrepareProgress {
 public:
  void Begin(const std::string& /*label*/, std::int64_t /*total*/) override {}
  bool Advance(std::int64_t done) override { return Progress(done); }
};

struct SessionOptions {
  // Read a prepared copy; false: the exact path for an 8-bit mono 22050 Hz
  // recording, or the plain conversion (channel, rate, 8 bits) for another.
  bool prepare = true;
  PrepareOptions preparation;
  // A decoding with preparation and cleaning reads by periods (the period
  // decoder, which takes each block's timing from its own pilot); false: the
  // pulse decoder over the prepared levels with the bounds given.
  bool periods = true;
};

inline constexpr const char* kTakeAlreadyChosenText = "Эта запись уже выбрана";
inline constexpr const char* kTakesNeedPeriodsText =
    "Дубли объединяются только при очистке сигнала без границ, заданных вручную: прочитана только первая запись";

// The decode step of the prepared path: the records of the prepared samples
// (both views of the same stream: 8-bit levels through the reader, -1..1
// samples through the source; a decoder reads one of them).
using PreparedDecoder = std::function<DecodeResult(RecordingReader& levels, SampleSource& samples, ImportState& state,
                                                   const PulseBounds& bounds, ImportEvents& events)>;

// Today's decoder over the prepared levels.
DecodeResult DecodePreparedLevels(RecordingReader& levels, SampleSource& samples, ImportState& state,
                                  const PulseBounds& bounds, ImportEvents& events);

class RecordingSession {
 public:
  // cacheFolder: where the prepared copy is kept between runs; empty: no
  // copy, every run prepares the recording as it reads it.
  explicit RecordingSession(std::string cacheFolder = {});
  ~RecordingSession();
  RecordingSession(const RecordingSession&) = delete;
  RecordingSession& operator=(const RecordingSession&) = delete;

  // Looks at the recording (and forgets the takes added to the last one). An
  // Error (with the system's reason) when it cannot be opened at all; a file
  // libsndfile cannot read is no error here: info().readable is false and it
  // is read byte by byte.
  OpResult Open(const std::string& path);

  // Another recording (take) of the same tape, read with the first by the
  // period decoder and merged with it record by record. An Error, and no take
  // added, when it cannot be opened, libsndfile cannot read it, or it is the
  // recording or a take already chosen.
  OpResult AddTake(const std::string& path);
  void ClearTakes() { takes_.clear(); }
  // The takes added, without the recording itself.
  const std::vector<std::string>& takes() const { return takes_; }
  const std::string& path() const { return path_; }
  const RecordingInfo& info() const { return info_; }

  // Whether the runs would read prepared samples with these options.
  bool ReadsPrepared(const SessionOptions& options) const;
  // Whether a decoding reads by periods with these options.
  bool DecodesPeriods(const SessionOptions& options) const;

  // The quality of the recording as it is (one measuring pass). A stop gives
  // an Error with kPrepareStoppedText.
  OpResult MeasureQuality(RecordingEvents& events, QualityReport& report);

  // The spectrum analysis of what the decoder reads, into state's histogram.
  // A stop (during the preparation or the analysis) leaves state.stopRequested set.
  OpResult Analyse(const SessionOptions& options, ImportState& state, RecordingEvents& events);

  // Fitted bounds for what the decoder reads: an analysis of its own, into a
  // histogram of its own. Nothing in fit when the recording shows no tape signal.
  OpResult Fit(const SessionOptions& options, RecordingEvents& events, std::optional<FittedBounds>& fit,
               bool& stopped);

  // Decodes what the decoder reads into state.loadedBlocks with the bounds.
  // The exact path and a file read byte by byte go through DecodeTape; the
  // prepared path through the prepared decoder; by periods (bounds unused):
  // the recording and its takes, with repair, the facts of each record in the
  // result, report lines "Запись ...", one per record ("Блок 1: 19 байт,
  // флаг 0, контрольная сумма верна (правый канал), пилот-тон 619 мкс") and
  // "Найдено блоков: n"; a take that matches none of the others' records (a
  // recording of another tape) adds nothing and is named in a Warning, as is
  // a take without a record. A stop keeps the records read so far.
  DecodeResult Decode(const SessionOptions& options, ImportState& state, const PulseBounds& bounds,
                      RecordingEvents& events);

  // The decoder of the prepared path (DecodePreparedLevels until replaced).
  void SetPreparedDecoder(PreparedDecoder decoder) { preparedDecoder_ = std::move(decoder); }

  // What the last preparation said: its summary line, and its quality report
  // when the options asked to measure it (measureQuality).
  const std::string& preparedSummary() const { return preparedSummary_; }
  // The channel the last preparation read (0-based; -1 for a mix).
  int preparedChannel() const { return preparedChannel_; }
  const std::optional<QualityReport>& preparedQuality() const { return preparedQuality_; }
  // The prepared copy (its path is empty while there is none), and its removal.
  const PreparedRecording& preparedCopy() const { return copy_; }
  void RemovePreparedCopy() { copy_.Remove(); }

 private:
  struct Reading;
  // Opens what a run reads. Ok with nothing opened when the preparation was
  // stopped (stopped is then true).
  OpResult OpenReading(const SessionOptions& options, RecordingEvents& events, Reading& reading, bool& stopped);
  // After a run: keeps the prepared copy when the run read all of it.
  OpResult CloseReading(Reading& reading, bool complete);
  DecodeResult DecodePeriods(const SessionOptions& options, ImportState& state, RecordingEvents& events);

  std::string path_;
  RecordingInfo info_;
  std::vector<std::string> takes_;
  PreparedRecording copy_;
  PreparedDecoder preparedDecoder_ = DecodePreparedLevels;
  std::string preparedSummary_;
  int preparedChannel_ = 0;
  std::optional<QualityReport> preparedQuality_;
};

}  // namespace reelo
