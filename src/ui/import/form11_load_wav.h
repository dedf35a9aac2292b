// The load-from-WAV window: choose a recording, look at its pulse-length
// spectrum, set the six pulse bounds, decode it with a running report, and add
// the decoded records to the project. The window is the import runs' host: the
// runs lock it, report through it, and let it process events as they go.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

#include "sound/import/import_host.h"
#include "sound/import/pulse_classifier.h"
#include "ui/app_state.h"
#include "ui/prompts.h"

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

// A button whose caption wraps over its lines (a path does not fit one line);
// when even that is too long, the caption's end, the file's name, is shown.
class WrappingButton final : public QPushButton {
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

class Form11 final : public QDialog, public ImportHost {
  Q_OBJECT

 public:
  Form11(AppState& state, Prompts& prompts, QWidget* owner);
  ~Form11() override;

  // The bounds as the six scroll bars hold them.
  PulseBounds Bounds() const;
  // True while an analysis or decoding run is going on.
  bool running() const { return running_; }

  // How often a run lets the window process its events. Tests shorten it, so
  // that a run over a small recording still gives the window its turns.
  void SetYieldInterval(std::chrono::nanoseconds interval) { yieldInterval_ = interval; }

  // ImportHost: what the runs do to the window.
  void Yield() override;
  std::chrono::nanoseconds YieldInterval() const override { return yieldInterval_; }
  void LockImportControls() override;
  void UnlockImportControls() override;
  void SetProgressMaximum(std::int64_t maximum) override;
  void ShowImportProgress(std::int64_t position) override;
  void FinishImportRun() override;
  void SetStatusText(const std::string& text) override;
  void ClearReport() override;
  void AddReportLine(const std::string& line) override;
  void DrawSpectrum() override;
  QuestionReply AskBadSignal(std::int64_t position, int length, const RecordingReader& recording) override;

 public slots:
  void Command1_Click();  // "Загрузка... (LOAD \"\")"
  void Command2_Click();  // "Анализ спектра"
  void Command3_Click();  // "Добавить загруженное в проект и выйти"
  void Command4_Click();  // "Закрыть"
  void Command5_Click();  // the sound file
  void Command6_Click();  // "Стоп"
  // The close box and Escape: during a run they act as "Стоп", and the window
  // closes once the run has ended.
  void reject() override;

 private:
  void createFileFrame();
  void createSpectrumFrame();
  void createBoundsFrame();
  void createReportFrame();
  void createCommands();
  void Form_Load();
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

  std::int64_t barMaximum_ = 0;  // the recording's length F
  int barShift_ = 0;             // a length beyond the bar's int range is shown scaled down
  std::int64_t pendingProgress_ = -1;  // the value the next Yield shows; -1: none
  std::chrono::nanoseconds yieldInterval_ = kYieldInterval;
  bool running_ = false;
  bool closeAfterRun_ = false;
  // The answer the user chose to apply to every later question of this run.
  std::optional<QuestionReply> standingReply_;
};

}  // namespace reelo
