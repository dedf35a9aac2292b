// The quality report of a recording: levels, clipping, DC offset, noise floor,
// and the pilot tone's frequency against the nominal one (the tape deck's speed
// error), for every channel, with the better channel named. Measured in one
// streaming pass over the recording as it is (before any preparation).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "project/op_result.h"
#include "sound/recording/recording_info.h"

namespace reelo {

class PrepareProgress;

// The pilot tone of the ROM's save routine: 2168 T-states per half-wave at
// 3.5 MHz, about 807.2 Hz. The program's own WAV export uses 13 samples per
// half-wave at 22050 Hz, about 848.1 Hz; a pilot near that is measured
// against it, so the program's own files are not reported off speed.
inline constexpr double kRomPilotHz = 3500000.0 / (2.0 * 2168.0);
inline constexpr double kExportPilotHz = 22050.0 / 26.0;

// Thresholds of the warnings.
inline constexpr double kQuietPeakDbfs = -30.0;        // peak below this: too quiet
inline constexpr double kClippedShareWarning = 0.001;  // more than 0.1% of samples at full scale
inline constexpr double kSpeedErrorWarningPercent = 5.0;

struct ChannelQuality {
  double peakDbfs = -120.0;       // the largest sample, in dB of full scale
  double clippedShare = 0.0;      // share of samples at (or within 0.1% of) full scale
  double dcOffset = 0.0;          // the mean, as a share of full scale (-1..1)
  double noiseFloorDbfs = -120.0; // level of the quietest stretches (RMS), dB of full scale
  double pilotHz = 0.0;           // the pilot tone's frequency; 0 when no pilot was found
  int pilotRuns = 0;              // pilot tones found
  double pilotJitter = 1.0;       // spread of the pilot's half-waves (relative); lower is cleaner
};

struct QualityReport {
  RecordingInfo info;
  std::vector<ChannelQuality> channels;  // one per channel of the recording
  int betterChannel = 0;                 // 0-based: the channel whose pilot tones are cleaner
  double nominalPilotHz = kRomPilotHz;   // what pilotHz of the better channel is measured against
  // Pilot of the better channel against the nominal, in %: positive = the tape
  // runs fast. 0 when no pilot was found.
  double speedErrorPercent = 0.0;
  bool pilotFound = false;
};

// Measures the recording (every channel). Errors as for PrepareRecording; a
// stop through progress gives an Error with kPrepareStoppedText.
OpResult MeasureQuality(const std::string& path, PrepareProgress* progress, QualityReport& report);

// The report as lines for the window and the command line, in Russian
// ("Пиковый уровень: -6,0 дБ", "Скорость: +2,1% (пилот-тон 824 Гц при 807 Гц)").
std::vector<std::string> QualityLines(const QualityReport& report);

// The warnings: too quiet, clipped, off speed by more than 5% (empty when none).
std::vector<std::string> QualityWarnings(const QualityReport& report);

}  // namespace reelo
