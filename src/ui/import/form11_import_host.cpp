// The load-from-WAV window and the runs' events: what a run does to the
// controls, the report, the progress bar and the spectrum picture, and how it
// lets the window process its events.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QColor>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QScrollBar>
#include <climits>

#include "sound/import/import_pictures.h"
#include "ui/import/form11_load_wav.h"
#include "ui/import/form5_bad_signal.h"
#include "ui/import/picture_box.h"

namespace reelo {
namespace {

QColor ToColour(Rgb rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

// How far a length must be shifted right to fit the bar's int range.
int ShiftToFit(std::int64_t maximum) {
  int shift = 0;
  while ((maximum >> shift) > INT_MAX) ++shift;
  return shift;
}

}  // namespace

// The progress recorded since the last turn is shown first, so the bar and
// the spectrum are painted together when the window processes its events.
void Form11::Yield() {
  if (pendingProgress_ >= 0) SetBarValue(pendingProgress_);
  pendingProgress_ = -1;
  ScrollReportDown();
  QApplication::processEvents();
}

void Form11::LockImportControls() { SetControlsEnabled(false); }

void Form11::UnlockImportControls() {
  SetControlsEnabled(true);
  status_->clear();
  pendingProgress_ = -1;
  SetBarValue(0);
}

// The preparation controls are only offered where they act: cleaning for a
// recording that can be prepared, the channel for one of several channels.
void Form11::SetControlsEnabled(bool enabled) {
  for (QScrollBar* bar : bounds_) bar->setEnabled(enabled);
  for (std::size_t i = 0; i + 1 < commands_.size(); ++i) commands_[i]->setEnabled(enabled);
  commands_.back()->setEnabled(!enabled);
  fitButton_->setEnabled(enabled);
  takeButton_->setEnabled(enabled);
  clean_->setEnabled(enabled && (!infoKnown_ || info_.readable));
  channel_->setEnabled(enabled && (!infoKnown_ || info_.channels > 1));
}

void Form11::SetProgressMaximum(std::int64_t maximum) {
  barMaximum_ = std::max<std::int64_t>(maximum, 0);
  barShift_ = ShiftToFit(barMaximum_);
  bar_->setRange(0, static_cast<int>(barMaximum_ >> barShift_));
}

void Form11::ShowImportProgress(std::int64_t position) {
  if (position >= 0 && position < barMaximum_) pendingProgress_ = position;
}

void Form11::SetBarValue(std::int64_t position) { bar_->setValue(static_cast<int>(position >> barShift_)); }

void Form11::FinishImportRun() {
  pendingProgress_ = -1;
  SetBarValue(0);
  status_->setText(QString::fromUtf8(kRunDoneText));
}

void Form11::SetStatusText(const std::string& text) { status_->setText(QString::fromStdString(text)); }

// A new decoding's report starts without the previous run's checksums.
void Form11::ClearReport() {
  report_->clear();
  checksums_->clear();
}

// During a run the list is scrolled at the window's turns, not per line: a
// run over a noisy recording adds lines by the thousand, and each scroll lays
// the whole list out.
void Form11::AddReportLine(const std::string& line) {
  report_->addItem(QString::fromStdString(line));
  reportScrollPending_ = true;
  if (!running_) ScrollReportDown();
}

void Form11::ScrollReportDown() {
  if (!reportScrollPending_) return;
  reportScrollPending_ = false;
  report_->scrollToBottom();
}

// The three bound ranges as filled bands, the histogram as a polyline 50 units
// above the bottom edge, and a full-height mark at every length counted.
void Form11::DrawSpectrum() {
  const SpectrumPicture picture = BuildSpectrumPicture(state_.importState.pulseHistogram, Bounds());
  {
    UserPainter painter(*spectrum_);
    painter.Clear(ToColour(kSpectrumBackground));
    for (const SpectrumBand& band : picture.bands) {
      painter.FillBox(band.left, 0, band.right, kSpectrumScaleHeight, ToColour(band.colour));
    }
    painter.Point(picture.start.x, picture.start.y, ToColour(kSpectrumStartColour));
    for (const PicturePoint& point : picture.polyline) painter.LineTo(point.x, point.y, ToColour(kSpectrumLineColour));
    for (int length : picture.markedLengths) {
      painter.Line(length, 0, length, kSpectrumScaleHeight, ToColour(kSpectrumMarkColour));
    }
  }
  for (std::size_t i = 0; i < boundLabels_.size(); ++i) boundLabels_[i]->setText(QString::fromStdString(picture.labels[i]));
}

// A pass of the preparation or a run begins.
void Form11::Begin(const std::string& label, std::int64_t total) {
  SetStatusText(label);
  pendingProgress_ = -1;
  SetProgressMaximum(total);
  SetBarValue(0);
}

// The window's turn: the progress, the spectrum while an analysis runs, and
// its pending events (the Stop button among them).
bool Form11::Progress(std::int64_t done) {
  ShowImportProgress(done);
  if (analysing_) DrawSpectrum();
  Yield();
  return !state_.importState.stopRequested;
}

// A decoding's report starts afresh with its first line, so a preparation that
// fails before the decoding begins leaves the previous report in place.
void Form11::ReportLine(const std::string& line) {
  if (!reportCleared_) {
    ClearReport();
    reportCleared_ = true;
  }
  AddReportLine(line);
}

// Once the user has asked for an answer to stand, the later questions of the
// run are answered with it and not shown.
QuestionReply Form11::AskBadSignal(const BadSignalQuestion& badSignal) {
  if (standingReply_) return *standingReply_;
  Form5 question(badSignal.picture, this);
  question.exec();
  if (question.applyToRest()) standingReply_ = question.reply();
  return question.reply();
}

}  // namespace reelo
