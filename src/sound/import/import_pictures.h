// What the import's two pictures show, as plain data: the window only paints
// it. The spectrum picture has its own scale (pulse length 0..20 across,
// 0..5000 down); the bad-signal view shows 101 samples (0..100 across, the
// sample value 0..255 down).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sound/import/import_state.h"
#include "sound/import/pulse_classifier.h"
#include "sound/import/recording_reader.h"

namespace reelo {

struct Rgb {
  std::uint8_t red, green, blue;
  bool operator==(const Rgb&) const = default;
};

struct PicturePoint {
  int x, y;
  bool operator==(const PicturePoint&) const = default;
};

inline constexpr int kSpectrumScaleWidth = 20;
inline constexpr int kSpectrumScaleHeight = 5000;
// The histogram's base line lies this far above the bottom edge.
inline constexpr int kSpectrumBaseOffset = 50;

inline constexpr Rgb kSpectrumBackground{0, 0, 0};
inline constexpr std::array<Rgb, 3> kSpectrumBandColours{{{0, 0, 128}, {0, 128, 128}, {128, 0, 128}}};
inline constexpr Rgb kSpectrumStartColour{0, 0, 255};
inline constexpr Rgb kSpectrumLineColour{255, 255, 0};
inline constexpr Rgb kSpectrumMarkColour{128, 128, 0};

// One bound range: a filled rectangle from (left, 0) to (right, height).
struct SpectrumBand {
  int left, right;
  Rgb colour;
};

struct SpectrumPicture {
  std::array<SpectrumBand, 3> bands;  // 0 bit, 1 bit, pilot, painted in that order
  std::array<std::string, PulseBounds::kCount> labels;  // the bounds in plain digits
  PicturePoint start;                                   // plotted in kSpectrumStartColour
  std::array<PicturePoint, kHistogramBins> polyline;    // from start, in kSpectrumLineColour
  std::vector<int> markedLengths;  // a full-height line at each counted length, over everything
};

SpectrumPicture BuildSpectrumPicture(const PulseHistogram& histogram, const PulseBounds& bounds);

inline constexpr int kQuestionSamplesBefore = 50;  // samples shown before the question position
inline constexpr int kQuestionEndX = 49;           // x of the sample that ended the pulse
inline constexpr int kQuestionMiddleLevel = 127;
inline constexpr int kQuestionScaleWidth = 100;
inline constexpr int kQuestionScaleHeight = 255;
inline constexpr Rgb kQuestionBandColour{255, 255, 0};
inline constexpr Rgb kQuestionMiddleColour{255, 0, 0};
inline constexpr Rgb kQuestionLineColour{0, 0, 255};

// The picture of the question (QuestionPicture, in import_events.h) about the
// pulse of the given length that ended just before position.
QuestionPicture BuildQuestionPicture(RecordingReader& recording, std::int64_t position, int length);

}  // namespace reelo
