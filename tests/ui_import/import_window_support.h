// What the import window tests share: a load-from-WAV window over a scripted
// Prompts, crafted and exported recordings, answering the bad-signal question
// while it is open, and a guard that never lets a modal window hang a test.
#pragma once

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>

#include "project/progress.h"
#include "sound/export/wav_writer.h"
#include "ui/import/form11_load_wav.h"
#include "ui/import/form5_bad_signal.h"
#include "ui_test_support.h"

namespace reelo::testing {

inline constexpr std::uint8_t kLowLevel = 95;
inline constexpr std::uint8_t kHighLevel = 159;
inline constexpr std::uint8_t kRestLevel = 127;
inline constexpr int kPilotHalf = 13;
inline constexpr int kZeroHalf = 5;
inline constexpr int kOneHalf = 10;

// Samples of a crafted recording: 49 rest samples stand for the header and
// the samples the decoder skips, then whole cycles; a cycle's high half
// measures its length.
class CraftedSignal {
 public:
  CraftedSignal& Level(std::uint8_t level, int count) {
    samples_.insert(samples_.end(), static_cast<std::size_t>(count), level);
    return *this;
  }
  CraftedSignal& Pulses(std::initializer_list<int> halves) {
    for (int n : halves) Level(kLowLevel, n).Level(kHighLevel, n);
    return *this;
  }
  CraftedSignal& PilotAndSync() {
    for (int i = 0; i < 20; ++i) Pulses({kPilotHalf});
    return Pulses({kZeroHalf});
  }
  // A high level too long to be a pulse: noise, which ends a record.
  CraftedSignal& Overlong() { return Level(kLowLevel, kZeroHalf).Level(kHighLevel, 1100).Level(kLowLevel, 20); }
  std::string Write(const TempDir& dir, const char* name) const {
    WriteFileBytes(dir / name, samples_);
    return (dir / name).string();
  }

 private:
  Bytes samples_ = Bytes(49, kRestLevel);
};

// The project's own export of the blocks.
inline std::string ExportedRecording(const TempDir& dir, const char* name, const std::vector<TapeBlock>& blocks) {
  TapeProject project;
  project.blocks = blocks;
  NullProgress progress;
  const std::string path = (dir / name).string();
  if (!SaveWavFile(project, path, progress).ok()) qFatal("cannot export %s", path.c_str());
  return path;
}

// A load-from-WAV window for one test, shown (not modal) over nothing. Its runs
// yield at every clock check (every few thousand samples), so that whatever a
// test does "at the next turn" happens early in a run, however fast it is.
struct ImportWindow {
  AppState state;
  ScriptedPrompts prompts;
  std::unique_ptr<Form11> form;

  explicit ImportWindow(const std::string& wavFileName = {}) {
    state.WavFileName = wavFileName;
    Open();
  }
  // A fresh window over the same application state, as the command opens it.
  void Open() {
    form = std::make_unique<Form11>(state, prompts, nullptr);
    form->SetYieldInterval(std::chrono::nanoseconds::zero());
    form->show();
  }
  template <typename T>
  T* Find(const QString& name) const {
    T* found = form->findChild<T*>(name);
    if (!found) qFatal("no control named %s", qPrintable(name));
    return found;
  }
  QPushButton* Button(const char* name) const { return Find<QPushButton>(QString::fromLatin1(name)); }
  // "Очистка сигнала" off: the recording is read exactly as it stands.
  void Exact() const { Find<QCheckBox>(QStringLiteral("Check1"))->setChecked(false); }
  void Click(const char* name) const { Button(name)->click(); }
  QStringList Report() const {
    QStringList lines;
    auto* list = Find<QListWidget>(QStringLiteral("List1"));
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    return lines;
  }
  QString Status() const { return Find<QLabel>(QStringLiteral("Label4"))->text(); }
  QProgressBar* Bar() const { return Find<QProgressBar>(QStringLiteral("ProgressBar1")); }
  // "locked" while a run holds the window: only "Стоп" enabled.
  QString ControlState() const {
    bool anyEnabled = false, allEnabled = true;
    for (const char* name : {"Command1", "Command2", "Command3", "Command4", "Command5"}) {
      anyEnabled |= Button(name)->isEnabled();
      allEnabled &= Button(name)->isEnabled();
    }
    for (int i = 0; i < PulseBounds::kCount; ++i) {
      const bool enabled = Find<QWidget>(QStringLiteral("HScroll1_%1").arg(i))->isEnabled();
      anyEnabled |= enabled;
      allEnabled &= enabled;
    }
    const bool stop = Button("Command6")->isEnabled();
    if (allEnabled && !stop) return QStringLiteral("unlocked");
    if (!anyEnabled && stop) return QStringLiteral("locked");
    return QStringLiteral("mixed");
  }
  // Calls `action` with the text of every report line as it is added.
  void OnReportLine(std::function<void(const QString&)> action) const {
    auto* list = Find<QListWidget>(QStringLiteral("List1"));
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, list,
                     [list, action](const QModelIndex&, int first, int) { action(list->item(first)->text()); });
  }
};

// Runs `action` the next time the event loop turns: inside a run, at its next
// yield to the window.
inline void AtNextTurn(std::function<void()> action) { QTimer::singleShot(0, qApp, std::move(action)); }

// While alive, presses `button` of every bad-signal question that opens
// ("close" uses the close box instead) and counts the questions; with
// `applyToRest` it first ticks the box that makes the answer stand.
class QuestionAnswerer {
 public:
  explicit QuestionAnswerer(QString button, bool applyToRest = false) : button_(std::move(button)) {
    QObject::connect(&timer_, &QTimer::timeout, [this, applyToRest] {
      auto* question = qobject_cast<Form5*>(QApplication::activeModalWidget());
      if (!question || !question->isVisible()) return;
      ++asked;
      if (applyToRest) question->findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(true);
      if (button_ == QLatin1String("close")) {
        question->close();
      } else {
        question->findChild<QPushButton*>(button_)->click();
      }
    });
    timer_.start(5);
  }
  int asked = 0;

 private:
  QString button_;
  QTimer timer_;
};

// Closes every modal window that is still open after the time limit, so a
// failed step inside a timer callback cannot leave a test waiting forever.
class ModalGuard {
 public:
  explicit ModalGuard(int limitMs = 20000) {
    clock_.start();
    QObject::connect(&timer_, &QTimer::timeout, [this, limitMs] {
      if (clock_.elapsed() < limitMs) return;
      while (QWidget* modal = QApplication::activeModalWidget()) {
        tripped = true;
        modal->close();
        if (QApplication::activeModalWidget() == modal) modal->hide();
      }
    });
    timer_.start(100);
  }
  bool tripped = false;

 private:
  QElapsedTimer clock_;
  QTimer timer_;
};

}  // namespace reelo::testing
