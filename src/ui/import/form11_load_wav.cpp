#include "ui/import/form11_load_wav.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStylePainter>

#include "sound/import/import_pictures.h"
#include "sound/import/loaded_blocks.h"
#include "sound/import/pulse_histogram.h"
#include "sound/import/tape_decoder.h"
#include "ui/import/prepared_file.h"
#include "ui/file_names.h"
#include "ui/import/import_layout.h"
#include "ui/import/import_texts.h"
#include "ui/import/picture_box.h"
#include "ui/startup.h"

namespace reelo {
namespace {

// The design's two columns, and a third on the right for the preparation of
// the recording and its quality.
constexpr QSize kClientSize = TwipSize(11655, 9840);
constexpr QRect kFileFrame = TwipRect(120, 120, 4215, 1335);
constexpr QRect kFileButton = TwipRect(120, 360, 3975, 735);
constexpr QRect kSpectrumFrame = TwipRect(120, 1560, 4215, 3135);
constexpr QRect kSpectrumPicture = TwipRect(120, 240, 3975, 2775);
constexpr QRect kBoundsFrame = TwipRect(120, 4800, 4215, 3975);
constexpr QRect kReportFrame = TwipRect(4440, 120, 3495, 6735);
constexpr QRect kReportList = TwipRect(120, 240, 3255, 5880);
// Under the report list: the checksums of the records a decoding found.
constexpr QRect kChecksumLabel = TwipRect(120, 6180, 3255, 450);
constexpr QRect kProgressBar = TwipRect(120, 8880, 7815, 375);
constexpr QRect kStatusLabel = TwipRect(120, 9360, 5895, 255);

// Inside the bounds frame: a centred caption above each pair of scroll bars,
// and each bar's value in a right-aligned label beside it.
constexpr int kCaptionLeft = 120 / kTwipsPerPixel;
constexpr QSize kCaptionSize = TwipSize(3960, 195);
constexpr int kCaptionTops[] = {360 / kTwipsPerPixel, 1560 / kTwipsPerPixel, 2760 / kTwipsPerPixel};
constexpr const char* kCaptions[] = {"Границы \"0\"/подготовительного сигнала", "Границы \"1\"", "Границы пилот-тона"};
constexpr int kBarTops[] = {720, 1080, 1920, 2280, 3120, 3480};
constexpr int kBarLeft = 120;
constexpr int kBarWidth = 3495;
constexpr int kValueLeft = 3720;
constexpr int kValueWidth = 375;
constexpr int kBarHeight = 255;
constexpr int kBoundArrowStep = 1;
constexpr int kBoundPageStep = 10;

struct CommandSpec {
  const char* name;
  const char* caption;
  QRect geometry;
  void (Form11::*handler)();
};

constexpr CommandSpec kCommands[] = {
    {"Command1", "Загрузка... (LOAD \"\")", TwipRect(4440, 6960, 3495, 375), &Form11::Command1_Click},
    {"Command2", "Анализ спектра", TwipRect(4440, 7440, 3495, 375), &Form11::Command2_Click},
    {"Command3", "Добавить загруженное в проект и выйти", TwipRect(4440, 7920, 3495, 375), &Form11::Command3_Click},
    {"Command4", "Закрыть", TwipRect(4440, 8400, 3495, 375), &Form11::Command4_Click},
};
constexpr QRect kStopButton = TwipRect(6120, 9360, 1815, 375);
constexpr int kFileCommand = 4;  // Command5, in its frame
constexpr int kStopCommand = 5;  // Command6

// The caption with its beginning cut off until it fits the area; the end of a
// path (the file's name) matters most.
QString FittingCaption(const QString& text, const QRect& area, const QFontMetrics& metrics, int flags) {
  const QString ellipsis(QChar(0x2026));
  QString shown = text;
  for (qsizetype cut = 0; cut < text.size(); ++cut) {
    shown = cut == 0 ? text : ellipsis + text.mid(cut);
    if (metrics.boundingRect(area, flags, shown).height() <= area.height()) break;
  }
  return shown;
}

}  // namespace

void WrappingButton::paintEvent(QPaintEvent* /*event*/) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.text.clear();
  painter.drawControl(QStyle::CE_PushButton, option);
  const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
  const int flags = Qt::AlignCenter | Qt::TextWrapAnywhere;
  style()->drawItemText(&painter, area, flags, option.palette, isEnabled(),
                        FittingCaption(text(), area, fontMetrics(), flags), QPalette::ButtonText);
}

Form11::Form11(AppState& state, Prompts& prompts, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      state_(state),
      prompts_(prompts),
      session_(ProgramCacheFolder()) {
  setObjectName(QStringLiteral("Form11"));
  setWindowTitle(QString::fromUtf8(kLoadWavCaption));
  setWindowIcon(ToolbarIcon(QStringLiteral("tape")));
  setFixedSize(kClientSize);
  setFont(ImportWindowFont());
  createFileFrame();
  createSpectrumFrame();
  createBoundsFrame();
  createReportFrame();
  createCommands();
  createPreparationFrame();
  createQualityFrame();
  Form_Load();
}

Form11::~Form11() = default;

void Form11::createFileFrame() {
  QGroupBox* frame = AddFrame("Frame1", "Звуковой файл", kFileFrame, this);
  fileButton_ = new WrappingButton(frame);
  fileButton_->setObjectName(QStringLiteral("Command5"));
  fileButton_->setGeometry(kFileButton);
  fileButton_->setAutoDefault(false);
  connect(fileButton_, &QPushButton::clicked, this, &Form11::Command5_Click);
  commands_[kFileCommand] = fileButton_;
}

void Form11::createSpectrumFrame() {
  QGroupBox* frame = AddFrame("Frame2", "Анализатор спектра", kSpectrumFrame, this);
  spectrum_ = new PictureBox(kSpectrumPicture, kSpectrumScaleWidth, kSpectrumScaleHeight, frame);
  spectrum_->setObjectName(QStringLiteral("Picture1"));
}

void Form11::createBoundsFrame() {
  QGroupBox* frame = AddFrame("Frame3", "Настройка чувствительности", kBoundsFrame, this);
  for (int i = 0; i < 3; ++i) {
    auto* caption = new QLabel(QString::fromUtf8(kCaptions[i]), frame);
    caption->setObjectName(QStringLiteral("Label2_%1").arg(i));
    caption->setGeometry(QRect(QPoint(kCaptionLeft, kCaptionTops[i]), kCaptionSize));
    caption->setAlignment(Qt::AlignCenter);
  }
  for (int i = 0; i < PulseBounds::kCount; ++i) {
    auto* bar = new QScrollBar(Qt::Horizontal, frame);
    bar->setObjectName(QStringLiteral("HScroll1_%1").arg(i));
    bar->setGeometry(TwipRect(kBarLeft, kBarTops[i], kBarWidth, kBarHeight));
    bar->setRange(PulseBounds::kMinimum, PulseBounds::kMaximum);
    bar->setSingleStep(kBoundArrowStep);
    bar->setPageStep(kBoundPageStep);
    bar->setValue(PulseBounds::kDefaults[static_cast<std::size_t>(i)]);
    // Tracking is on, so this covers both a change and a drag of the slider.
    connect(bar, &QScrollBar::valueChanged, this, &Form11::DrawSpectrum);
    // Only the user's own moves trigger actions; a fitting's setValue does not.
    connect(bar, &QScrollBar::actionTriggered, this, [this](int action) {
      if (action != QAbstractSlider::SliderNoAction) boundsByHand_ = true;
    });
    bounds_[static_cast<std::size_t>(i)] = bar;

    auto* value = new QLabel(QStringLiteral("0"), frame);
    value->setObjectName(QStringLiteral("Label3_%1").arg(i));
    value->setGeometry(TwipRect(kValueLeft, kBarTops[i], kValueWidth, kBarHeight));
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    boundLabels_[static_cast<std::size_t>(i)] = value;
  }
}

void Form11::createReportFrame() {
  QGroupBox* frame = AddFrame("Frame4", "Отчёт", kReportFrame, this);
  report_ = new QListWidget(frame);
  report_->setObjectName(QStringLiteral("List1"));
  report_->setGeometry(kReportList);
  report_->setUniformItemSizes(true);
  checksums_ = new QLabel(frame);
  checksums_->setObjectName(QStringLiteral("Label8"));
  checksums_->setGeometry(kChecksumLabel);
}

void Form11::createCommands() {
  for (std::size_t i = 0; i < std::size(kCommands); ++i) {
    auto* button = new QPushButton(QString::fromUtf8(kCommands[i].caption), this);
    button->setObjectName(QString::fromLatin1(kCommands[i].name));
    button->setGeometry(kCommands[i].geometry);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, kCommands[i].handler);
    commands_[i] = button;
  }
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("ProgressBar1"));
  bar_->setGeometry(kProgressBar);
  bar_->setTextVisible(false);
  bar_->setValue(0);

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("Label4"));
  status_->setGeometry(kStatusLabel);

  auto* stop = new QPushButton(QStringLiteral("Стоп"), this);
  stop->setObjectName(QStringLiteral("Command6"));
  stop->setGeometry(kStopButton);
  stop->setAutoDefault(false);
  stop->setEnabled(false);
  connect(stop, &QPushButton::clicked, this, &Form11::Command6_Click);
  commands_[kStopCommand] = stop;
}

void Form11::Form_Load() {
  fileButton_->setText(state_.WavFileName.empty() ? QString::fromUtf8(kChooseSoundFileCaption)
                                                  : FromLocalPath(state_.WavFileName));
  LookAtRecording(true);
  DrawSpectrum();
}

PulseBounds Form11::Bounds() const {
  PulseBounds bounds;
  for (int i = 0; i < PulseBounds::kCount; ++i) {
    bounds.value[static_cast<std::size_t>(i)] = bounds_[static_cast<std::size_t>(i)]->value();
  }
  return bounds;
}

// With cleaning on and the bounds left to the window, the bounds are fitted
// first (the spectrum and the bars show them) and the recording and its takes
// are read by periods, each block at the speed of its own pilot; otherwise the
// pulses are read with the bounds as they stand, from the prepared copy or
// from the recording itself. The report starts with the decoding's first line.
void Form11::Command1_Click() {
  if (state_.WavFileName.empty()) return;
  RunImport([this] {
    if (OpResult opened = OpenForRun(); !opened.ok()) return opened;
    const bool periods = DecodesPeriods();
    if (periods) {
      const OpResult fitted = FitBoundsRun(true);
      if (!fitted.ok() || state_.importState.stopRequested) return fitted;
    }
    LockImportControls();
    reportCleared_ = false;
    const DecodeResult decoded = session_.Decode(ReadOptions(), state_.importState, Bounds(), *this);
    if (reportCleared_ && !decoded.stopped) FinishImportRun();
    UnlockImportControls();
    ShowPreparedLine();
    if (decoded.ok() && reportCleared_) {
      if (!decoded.stopped && periods) AddReportLine(kPeriodsReportText);
      if (!decoded.stopped && !periods && !takes_.empty()) AddReportLine(kTakesNeedPeriodsText);
      checksums_->setText(QString::fromStdString(ChecksumTallyText(state_.importState.loadedBlocks)));
    }
    return static_cast<const OpResult&>(decoded);
  });
}

// The quality of the recording is measured after the analysis.
void Form11::Command2_Click() {
  if (state_.WavFileName.empty()) return;
  RunImport([this] {
    OpResult result = AnalysisRun();
    if (!result.ok() || state_.importState.stopRequested) return result;
    const OpResult measured = MeasureRecording();
    return measured.kind == OpResult::Kind::Ok ? result : measured;
  });
}

OpResult Form11::AnalysisRun() {
  if (OpResult opened = OpenForRun(); !opened.ok()) return opened;
  LockImportControls();
  analysing_ = true;
  const OpResult result = session_.Analyse(ReadOptions(), state_.importState, *this);
  analysing_ = false;
  FinishImportRun();
  UnlockImportControls();
  DrawSpectrum();
  ShowPreparedLine();
  if (result.ok() && !state_.importState.stopRequested) analysed_ = reading_;
  return result;
}

void Form11::Command3_Click() {
  const EditResult added =
      state_.document.Append(LoadedBlocksToAdd(state_.importState, state_.project.freeSlots()));
  ShowProblem(added.status);
  accept();
}

void Form11::Command4_Click() { QDialog::reject(); }

void Form11::Command5_Click() {
  const QString chosen =
      prompts_.ChooseFile({FileDialogKind::Open, QString::fromUtf8(kSoundDialogTitle), QString::fromUtf8(kSoundFilter)});
  if (chosen.isEmpty()) return;
  // Another recording: the previous one's spectrum and quality are no longer shown.
  // Nor are its takes.
  if (ToLocalPath(chosen) != state_.WavFileName) {
    state_.importState.pulseHistogram.fill(0);
    analysed_.reset();
    DrawSpectrum();
    takes_.clear();
    ShowTakes();
    summaries_.clear();
  }
  state_.WavFileName = ToLocalPath(chosen);
  fileButton_->setText(chosen);
  LookAtRecording(true);
  RunImport([this] { return MeasureRecording(); });
}

void Form11::Command6_Click() { state_.importState.stopRequested = true; }

// Another recording of the same tape: checked now (it opens, libsndfile reads
// it, it is not chosen already); whether it is of the same tape shows when
// the records are matched.
void Form11::Command8_Click() {
  if (state_.WavFileName.empty()) {
    ShowProblem(OpResult::Warn(kChooseRecordingFirstText));
    return;
  }
  const QString chosen =
      prompts_.ChooseFile({FileDialogKind::Open, QString::fromUtf8(kTakeDialogTitle), QString::fromUtf8(kSoundFilter)});
  if (chosen.isEmpty()) return;
  LookAtRecording(false);
  for (const std::string& take : takes_) session_.AddTake(take);
  const OpResult added = session_.AddTake(ToLocalPath(chosen));
  if (!added.ok()) {
    ShowProblem(added);
    return;
  }
  takes_.push_back(ToLocalPath(chosen));
  ShowTakes();
}

void Form11::Command7_Click() {
  if (state_.WavFileName.empty()) return;
  RunImport([this] { return FitBoundsRun(); });
}

void Form11::reject() {
  if (!running_) {
    QDialog::reject();
    return;
  }
  state_.importState.stopRequested = true;
  closeAfterRun_ = true;
}

void Form11::done(int result) {
  session_.RemovePreparedCopy();
  QDialog::done(result);
}

template <typename RunFn>
void Form11::RunImport(RunFn run) {
  running_ = true;
  closeAfterRun_ = false;
  standingReply_.reset();
  const OpResult result = run();
  running_ = false;
  pendingProgress_ = -1;
  ScrollReportDown();
  ShowProblem(result);
  if (closeAfterRun_) QDialog::reject();
}

void Form11::ShowProblem(const OpResult& result) {
  if (result.kind == OpResult::Kind::Ok) return;
  const BoxIcon icon = result.ok() ? BoxIcon::Warning : BoxIcon::Critical;
  prompts_.Ask({QString::fromStdString(result.message), QString(), Buttons::Ok, icon,
                QString::fromStdString(result.detail)});
}

}  // namespace reelo
