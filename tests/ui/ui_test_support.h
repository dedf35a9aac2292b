// What the window tests share: a main window over a scripted Prompts, ways to
// reach its controls by name, and the test program's main.
#pragma once

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QTest>
#include <sys/resource.h>

#include <csignal>
#include <memory>
#include <vector>

#include "scripted_prompts.h"
#include "tape_builders.h"
#include "ui/app_state.h"
#include "ui/form1.h"
#include "ui/startup.h"

namespace reelo::testing {

inline QString U(const char* text) { return QString::fromUtf8(text); }

// A fresh main window for one test, shown, with an empty script.
struct MainWindow {
  AppState state;
  ScriptedPrompts prompts;
  std::unique_ptr<Form1> form;

  MainWindow() : form(std::make_unique<Form1>(state, prompts)) { form->show(); }

  template <typename T>
  T* Find(const char* name) const {
    T* found = form->findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no control named %s", name);
    return found;
  }
  QAction* Action(const char* name) const { return Find<QAction>(name); }
  void Run(const char* command) const { Action(command)->trigger(); }
  QListWidget* List() const { return Find<QListWidget>("List1"); }

  QStringList Lines() const {
    QStringList lines;
    for (int i = 0; i < List()->count(); ++i) lines << List()->item(i)->text();
    return lines;
  }
  QStringList Panels() const {
    return {Find<QLabel>("StatusBar1_Panel1")->text(), Find<QLabel>("StatusBar1_Panel2")->text(),
            Find<QLabel>("StatusBar1_Panel3")->text()};
  }
  // Puts blocks into the project as if they had been loaded (the document
  // starts again from them; the window follows).
  void SetBlocks(std::vector<TapeBlock> blocks, bool modified = false) {
    TapeProject project;
    project.blocks = std::move(blocks);
    project.modified = modified;
    state.document.Reset(std::move(project));
  }
  // Gives the project a file, as a Save as would.
  void SetFileName(const std::string& path) { state.document.SetFileName(path); }
  // Selects a line the way a user does: a click on it.
  void ClickLine(int row) const {
    QListWidget* list = List();
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
  }
};

// Lowers the file-size limit for the life of the object: a write past it fails
// (EFBIG), which makes a failing save real even where permissions do not stop
// anything (as root).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit lowered = old_;
    lowered.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
};

// Records every value the progress window's bar takes, with its maximum then.
struct BarSteps {
  explicit BarSteps(QProgressBar* bar) {
    QObject::connect(bar, &QProgressBar::valueChanged, bar, [this, bar](int value) {
      values << value;
      maximums << bar->maximum();
    });
  }
  QList<int> values;
  QList<int> maximums;
};

}  // namespace reelo::testing

// The tests' main: offscreen Qt with its Russian texts; a write past the
// file-size limit fails instead of ending the program.
#define REELO_UI_TEST_MAIN(TestClass)                      \
  int main(int argc, char** argv) {                        \
    std::signal(SIGXFSZ, SIG_IGN);                         \
    QApplication app(argc, argv);                          \
    reelo::InstallRussianTranslation(app);                 \
    TestClass test;                                        \
    return QTest::qExec(&test, argc, argv);                \
  }
