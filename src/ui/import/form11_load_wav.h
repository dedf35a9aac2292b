// The load-from-WAV window: choose a recording, look at its pulse-length
// spectrum, set the six pulse bounds, decode it with a running report, and add
// the decoded records to the project. The recording goes through a recording
// session of the core; the window gets the runs' events (progress, report
// lines, the bad-signal question) and processes its own events as they go.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sound/import/import_events.h"
#include "sound/import/pulse_classifier.h"
#include "sound/recording/preparation.h"
#include "sound/recording/recording_session.h"
#include "ui/app_state.h"
#include "ui/import/prepared_file.h"
#include "ui/prompts.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QScrollBar;

namespace reelo {

class PictureBox;

inline constexpr const char* kLoadWavCaption = "Загрузка из WAV-файла";
inline constexpr const char* kChooseSoundFileCaption = "Нажмите сюда что бы выбрать звуковой файл";
inline constexpr const char* kSoundDialogTitle = "Открыть звуковой файл WAV";
inline constexpr const char* kSoundFilter = "Звуковой файл (*.wav)|*.wav|Все файлы|*.*";
inline constexpr const char* kRunDoneText = "Готово";
inline constexpr const char* kAddTakeCaption = "Добавить дубль...";
inline constexpr const char* kTakeDialogTitle = "Добавить дубль: другая запись той же ленты";
inline constexpr const char* kChooseRecordingFirstText = "Сначала выберите звуковой файл, затем добавляйте его дубли";
inline constexpr const char* kPeriodsReportText = "Биты прочитаны по периодам; скорость каждого блока взята из его пилот-тона";
inline constexpr const char* kNoFitText =
    "Не удалось подобрать границы: в записи не найдены пилот-тон и биты. Границы оставлены как были.";

// A button whose caption wraps over its lines (a path does not fit one line);
// when even that is too long, the caption's end, the file's name, is shown.
class WrappingButton final : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class Form11 final : public QDialog, public RecordingEvents {
  Q_OBJECT

 public:
  Form11(AppState& state, Prompts& prompts, QWidget* owner);
  ~Form11() override;

  // The bounds as the six scroll bars hold them.
  PulseBounds Bounds() const;
  // The preparation the controls ask for ("Очистка сигнала", "Канал").
  PrepareOptions Options() const;
  // Where the window keeps its prepared copy of the recording.
  const PreparedRecording& prepared() const { return session_.preparedCopy(); }
  // True while an analysis or decoding run is going on.
  bool running() const { return running_; }

  // How often a run lets the window process its events. Tests shorten it, so
  // that a run over a small recording still gives the window its turns.
  void SetYieldInterval(std::chrono::nanoseconds interval) { yieldInterval_ = interval; }

  // The events of the runs and of the preparation's passes: a pass or run
  // begins (status line, the bar's maximum), its progress (the window
  // processes its events; false once "Стоп" was pressed), report lines, and
  // the bad-signal question.
  void Begin(const std::string& label, std::int64_t total) override;
  bool Progress(std::int64_t done) override;
  bool Advance(std::int64_t framesDone) override { return Progress(framesDone); }
  std::chrono::nanoseconds ProgressInterval() const override { return yieldInterval_; }
  void ReportLine(const std::string& line) override;
  QuestionReply AskBadSignal(const BadSignalQuestion& question) override;

  // A line added to the report (a run's lines go through ReportLine).
  void AddReportLine(const std::string& line);
  // Repaints the spectrum picture from the import state's histogram.
  void DrawSpectrum();

 public slots:
  void Command1_Click();  // "Загрузка... (LOAD \"\")"
  void Command2_Click();  // "Анализ спектра"
  void Command3_Click();  // "Добавить загруженное в проект и выйти"
  void Command4_Click();  // "Закрыть"
  void Command5_Click();  // the sound file
  void Command6_Click();  // "Стоп"
  void Command7_Click();  // "Подобрать границы"
  void Command8_Click();  // "Добавить дубль..."
  // The close box and Escape: during a run they act as "Стоп", and the window
  // closes once the run has ended.
  void reject() override;
  // The prepared copy goes when the window closes.
  void done(int result) override;

 private:
  void createFileFrame();
  void createSpectrumFrame();
  void createBoundsFrame();
  void createReportFrame();
  void createCommands();
  void createPreparationFrame();
  void createQualityFrame();
  void Form_Load();
  // What a run does to the window: everything but "Стоп" disabled and back,
  // the bar and the status line.
  void LockImportControls();
  void UnlockImportControls();
  void SetProgressMaximum(std::int64_t maximum);
  void ShowImportProgress(std::int64_t position);
  void FinishImportRun();
  void SetStatusText(const std::string& text);
  void ClearReport();
  // Lets the window process pending events, showing the progress first.
  void Yield();
  // The options the session reads the recording with.
  SessionOptions ReadOptions() const;
  // Whether a decoding reads by periods: cleaning on, a readable recording
  // and no bound moved by hand.
  bool DecodesPeriods() const;
  // The takes line under the quality report.
  void ShowTakes();
  // Takes the chosen recording's format for the format line and, when it is
  // newly chosen, sets the preparation controls to its defaults.
  void LookAtRecording(bool newlyChosen);
  void ShowFormat(const RecordingInfo& info);
  // Opens the chosen recording in the session for a run and notes what the
  // run will read. An Error when it cannot be opened.
  OpResult OpenForRun();
  // After a run that may have prepared the recording: the preparation's line.
  void ShowPreparedLine();
  // Measures the quality of the chosen recording unless it is shown already.
  OpResult MeasureRecording();
  void ShowQuality(const QualityReport& report, const SourceStamp& source);
  void ClearQuality(const QString& text);
  void SetQualityText(const QString& lines, const QString& warnings);
  // quiet: no message when the recording shows no tape signal (a decoding's
  // own fitting).
  OpResult FitBoundsRun(bool quiet = false);
  // The spectrum analysis of what the decoder reads, into the import state.
  OpResult AnalysisRun();
  void SetControlsEnabled(bool enabled);
  // Runs an analysis or a decoding, then shows what went wrong, if anything,
  // and closes the window if its close box was pressed meanwhile.
  template <typename RunFn>
  void RunImport(RunFn run);
  void ShowProblem(const OpResult& result);
  void SetBarValue(std::int64_t position);
  // Shows the report's last line, if lines were added since it was last shown.
  void ScrollReportDown();

  AppState& state_;
  Prompts& prompts_;
  WrappingButton* fileButton_ = nullptr;
  PictureBox* spectrum_ = nullptr;
  std::array<QScrollBar*, PulseBounds::kCount> bounds_{};
  std::array<QLabel*, PulseBounds::kCount> boundLabels_{};
  QListWidget* report_ = nullptr;
  QLabel* checksums_ = nullptr;
  bool reportScrollPending_ = false;
  std::array<QPushButton*, 6> commands_{};  // Command1 .. Command6
  QProgressBar* bar_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* formatLine_ = nullptr;
  QCheckBox* clean_ = nullptr;
  QComboBox* channel_ = nullptr;
  QLabel* preparedLine_ = nullptr;
  QLabel* qualityLines_ = nullptr;
  QLabel* qualityWarnings_ = nullptr;
  QPushButton* fitButton_ = nullptr;
  QPushButton* takeButton_ = nullptr;
  QLabel* takesLine_ = nullptr;

  std::int64_t barMaximum_ = 0;  // the recording's length F
  int barShift_ = 0;             // a length beyond the bar's int range is shown scaled down
  std::int64_t pendingProgress_ = -1;  // the value the next Yield shows; -1: none
  std::chrono::nanoseconds yieldInterval_ = kYieldInterval;
  bool running_ = false;
  bool closeAfterRun_ = false;
  // The answer the user chose to apply to every later question of this run.
  std::optional<QuestionReply> standingReply_;

  // The chosen recording as last looked at.
  RecordingInfo info_;
  bool infoKnown_ = false;
  // What the runs read: the recording, and whether a prepared copy with
  // which options. The histogram is of `analysed` once an analysis of it ran
  // to its end in this window.
  struct Reading {
    SourceStamp source;
    bool prepared = false;
    PrepareOptions options;
    bool operator==(const Reading& other) const {
      return source == other.source && prepared == other.prepared && (!prepared || SameOptions(options, other.options));
    }
  };
  std::optional<Reading> reading_;
  std::optional<Reading> analysed_;
  // The preparation lines of the readings prepared in this window: a run that
  // reads a kept copy, or reads by periods, prepares nothing itself.
  std::vector<std::pair<Reading, std::string>> summaries_;
  RecordingSession session_;
  bool analysing_ = false;      // the spectrum is repainted at the run's progress
  bool reportCleared_ = false;  // a decoding's first line clears the report
  std::optional<SourceStamp> qualityOf_;  // the recording whose quality is shown
  // The other recordings of the same tape, added with "Добавить дубль...".
  std::vector<std::string> takes_;
  // A bound was moved by the user (not by a fitting) since the recording was
  // chosen: the decoding then uses the bounds as they are.
  bool boundsByHand_ = false;
};

}  // namespace reelo
