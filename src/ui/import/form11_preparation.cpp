// The load-from-WAV window's preparation of the recording: the controls that
// choose it, the prepared copy the runs read, the quality report and the
// fitted bounds.
#include <QCheckBox>
#include <algorithm>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QScrollBar>

#include "sound/import/pulse_histogram.h"
#include "sound/recording/fitted_bounds.h"
#include "sound/recording/quality_report.h"
#include "ui/import/form11_load_wav.h"
#include "ui/import/import_layout.h"
#include "ui/import/import_texts.h"
#include "ui/file_names.h"

namespace reelo {
namespace {

constexpr QRect kPreparationFrame = TwipRect(8040, 120, 3495, 2775);
constexpr QRect kFormatLine = TwipRect(120, 270, 3255, 645);
constexpr QRect kCleanBox = TwipRect(120, 960, 3255, 285);
constexpr QRect kChannelCaption = TwipRect(120, 1365, 900, 255);
constexpr QRect kChannelBox = TwipRect(1020, 1320, 2355, 330);
constexpr QRect kPreparedLine = TwipRect(120, 1740, 3255, 915);

// Down to the bottom of the bounds frame; the warnings follow the lines,
// however many lines the report has.
constexpr QRect kQualityFrame = TwipRect(8040, 3000, 3495, 5055);
constexpr QRect kQualityLines = TwipRect(120, 270, 3255, 3600);
constexpr int kQualityGap = 90 / kTwipsPerPixel;
constexpr int kQualityBottom = 4935 / kTwipsPerPixel;

// Under the quality report: the takes, then beside the progress bar and the
// status line the fitting of the bounds and the adding of a take.
constexpr QRect kTakesLine = TwipRect(8040, 8130, 3495, 690);
constexpr QRect kFitButton = TwipRect(8040, 8880, 3495, 375);
constexpr QRect kTakeButton = TwipRect(8040, 9360, 3495, 375);

// The rows of "Канал", in the order of the list.
struct ChannelRow {
  const char* caption;
  ChannelChoice choice;
};
constexpr ChannelRow kChannelRows[] = {
    {"авто", ChannelChoice::Auto},
    {"левый", ChannelChoice::Left},
    {"правый", ChannelChoice::Right},
    {"смесь", ChannelChoice::Mix},
};

constexpr const char* kQualityHint = "Качество записи измеряется, когда файл выбран, и при анализе спектра.";
constexpr const char* kQualityUnknownFormat = "Качество не измерено: формат файла не распознан.";
constexpr const char* kReadAsItIs = "Запись читается как есть, без подготовки";

QLabel* AddTextLine(const char* name, const QRect& geometry, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(geometry);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

}  // namespace

void Form11::createPreparationFrame() {
  QGroupBox* frame = AddFrame("Frame5", "Подготовка записи", kPreparationFrame, this);
  formatLine_ = AddTextLine("Label5", kFormatLine, frame);
  clean_ = new QCheckBox(QStringLiteral("Очистка сигнала"), frame);
  clean_->setObjectName(QStringLiteral("Check1"));
  clean_->setGeometry(kCleanBox);
  auto* caption = new QLabel(QStringLiteral("Канал:"), frame);
  caption->setObjectName(QStringLiteral("Label9"));
  caption->setGeometry(kChannelCaption);
  channel_ = new QComboBox(frame);
  channel_->setObjectName(QStringLiteral("Combo1"));
  channel_->setGeometry(kChannelBox);
  for (const ChannelRow& row : kChannelRows) channel_->addItem(QString::fromUtf8(row.caption));
  preparedLine_ = AddTextLine("Label6", kPreparedLine, frame);

  fitButton_ = new QPushButton(QStringLiteral("Подобрать границы"), this);
  fitButton_->setObjectName(QStringLiteral("Command7"));
  fitButton_->setGeometry(kFitButton);
  fitButton_->setAutoDefault(false);
  connect(fitButton_, &QPushButton::clicked, this, &Form11::Command7_Click);

  takesLine_ = AddTextLine("Label11", kTakesLine, this);
  takeButton_ = new QPushButton(QString::fromUtf8(kAddTakeCaption), this);
  takeButton_->setObjectName(QStringLiteral("Command8"));
  takeButton_->setGeometry(kTakeButton);
  takeButton_->setAutoDefault(false);
  connect(takeButton_, &QPushButton::clicked, this, &Form11::Command8_Click);
  ShowTakes();
}

// "Дубли: нет", or the file names of the takes added.
void Form11::ShowTakes() {
  QString text = QStringLiteral("Дубли: ");
  if (takes_.empty()) text += QStringLiteral("нет (можно добавить другие записи той же ленты)");
  for (std::size_t i = 0; i < takes_.size(); ++i) {
    text += (i ? QStringLiteral(", ") : QString()) + QFileInfo(FromLocalPath(takes_[i])).fileName();
  }
  takesLine_->setText(text);
}

void Form11::createQualityFrame() {
  QGroupBox* frame = AddFrame("Frame6", "Качество записи", kQualityFrame, this);
  qualityLines_ = AddTextLine("Label7", kQualityLines, frame);
  qualityWarnings_ = AddTextLine("Label10", kQualityLines, frame);
  QPalette warning = qualityWarnings_->palette();
  warning.setColor(QPalette::WindowText, QColor(176, 0, 0));
  qualityWarnings_->setPalette(warning);
  ClearQuality(QString::fromUtf8(kQualityHint));
}

PrepareOptions Form11::Options() const {
  PrepareOptions options;
  options.clean = clean_->isChecked();
  options.channel = kChannelRows[std::max(0, channel_->currentIndex())].choice;
  return options;
}

SessionOptions Form11::ReadOptions() const {
  SessionOptions read;
  read.preparation = Options();
  read.periods = !boundsByHand_;
  return read;
}

bool Form11::DecodesPeriods() const { return infoKnown_ && session_.DecodesPeriods(ReadOptions()); }

void Form11::LookAtRecording(bool newlyChosen) {
  infoKnown_ = !state_.WavFileName.empty() && session_.Open(state_.WavFileName).ok();
  info_ = infoKnown_ ? session_.info() : RecordingInfo{};
  if (newlyChosen) {
    const PrepareOptions defaults = DefaultPrepareOptions(info_);
    clean_->setChecked(defaults.clean && (info_.readable || !infoKnown_));
    channel_->setCurrentIndex(0);
    preparedLine_->clear();
    boundsByHand_ = false;
    if (!qualityOf_ || qualityOf_->path != state_.WavFileName) ClearQuality(QString::fromUtf8(kQualityHint));
  }
  ShowFormat(info_);
  // During a run the controls stay locked; the run's end unlocks them.
  if (!running_) SetControlsEnabled(true);
}

void Form11::ShowFormat(const RecordingInfo& info) {
  if (!infoKnown_) {
    formatLine_->clear();
  } else if (!info.readable) {
    formatLine_->setText(QString::fromUtf8(kUnknownFormatWarning));
    ClearQuality(QString::fromUtf8(kQualityUnknownFormat));
  } else {
    formatLine_->setText(QString::fromStdString(RecordingFormatText(info)));
  }
}

OpResult Form11::OpenForRun() {
  state_.importState.stopRequested = false;
  LookAtRecording(false);
  if (!infoKnown_) {
    reading_.reset();
    return session_.Open(state_.WavFileName);
  }
  const std::optional<SourceStamp> source = StampOf(state_.WavFileName);
  if (!source) return session_.Open(state_.WavFileName);
  for (const std::string& take : takes_) {
    if (OpResult added = session_.AddTake(take); !added.ok()) return added;
  }
  reading_ = Reading{*source, session_.ReadsPrepared(ReadOptions()), Options()};
  return OpResult::Success();
}

void Form11::ShowPreparedLine() {
  if (!reading_ || !reading_->prepared) {
    preparedLine_->setText(info_.readable ? QString::fromUtf8(kReadAsItIs) : QString());
    return;
  }
  std::string line = session_.preparedSummary();
  auto known = std::find_if(summaries_.begin(), summaries_.end(), [&](const auto& s) { return s.first == *reading_; });
  if (!line.empty()) {
    if (known == summaries_.end()) known = summaries_.insert(summaries_.end(), {*reading_, line});
    known->second = line;
  } else if (known != summaries_.end()) {
    line = known->second;
  }
  preparedLine_->setText(QString::fromStdString(line));
}

OpResult Form11::MeasureRecording() {
  const std::optional<SourceStamp> source = StampOf(state_.WavFileName);
  if (!source || !infoKnown_ || !info_.readable || qualityOf_ == source) return OpResult::Success();
  state_.importState.stopRequested = false;
  LockImportControls();
  QualityReport report;
  const OpResult result = session_.MeasureQuality(*this, report);
  UnlockImportControls();
  if (state_.importState.stopRequested) return OpResult::Success();
  if (result.ok()) ShowQuality(report, *source);
  return result;
}

void Form11::ShowQuality(const QualityReport& report, const SourceStamp& source) {
  qualityOf_ = source;
  SetQualityText(QString::fromStdString(JoinLines(QualityLines(report))),
                 QString::fromStdString(JoinLines(QualityWarnings(report))));
}

void Form11::ClearQuality(const QString& text) {
  qualityOf_.reset();
  SetQualityText(text, QString());
}

// Each label is as high as its wrapped text; the warnings start just below
// the lines and take what is left of the frame.
void Form11::SetQualityText(const QString& lines, const QString& warnings) {
  qualityLines_->setText(lines);
  qualityWarnings_->setText(warnings);
  const int width = kQualityLines.width();
  const int linesHeight = std::min(qualityLines_->heightForWidth(width), kQualityBottom - kQualityLines.top());
  qualityLines_->setGeometry(kQualityLines.left(), kQualityLines.top(), width, linesHeight);
  const int warningsTop = kQualityLines.top() + linesHeight + kQualityGap;
  qualityWarnings_->setGeometry(kQualityLines.left(), warningsTop, width, std::max(0, kQualityBottom - warningsTop));
}

// The histogram of what the decoder reads is needed: the last analysis when
// it was of the same reading, or a new one.
OpResult Form11::FitBoundsRun(bool quiet) {
  OpResult result = OpenForRun();
  if (!result.ok()) return result;
  if (!reading_ || analysed_ != reading_) {
    result = AnalysisRun();
    if (!result.ok() || state_.importState.stopRequested) return result;
  }
  const std::optional<FittedBounds> fitted = FitBounds(state_.importState.pulseHistogram);
  if (!fitted) return quiet ? result : OpResult::Warn(kNoFitText);
  for (int i = 0; i < PulseBounds::kCount; ++i) bounds_[static_cast<std::size_t>(i)]->setValue(fitted->bounds[i]);
  return result;
}

}  // namespace reelo
