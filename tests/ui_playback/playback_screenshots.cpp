// Renders the deck's controls to PNG files, for a person to look at:
//   reelo_playback_screenshots <folder>
// the main window playing the second block (its line lit, the block and the
// time in the status bar), paused after a block, the "Лента" menu, and the
// "Вывод звука" window.
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QThread>
#include <cstdio>

#include "fake_audio_output.h"
#include "tape_builders.h"
#include "ui/form1.h"
#include "ui/playback/deck_window.h"
#include "playback_qt/tape_deck.h"
#include "ui/qt_prompts.h"
#include "ui/startup.h"

namespace {

using namespace reelo;
using namespace reelo::testing;

constexpr int kWideWidth = 560;  // wide enough for the whole toolbar and menu bar

void Settle() {
  QApplication::processEvents();
  QThread::msleep(50);
  QApplication::processEvents();
}

bool Save(QWidget& widget, const QDir& folder, const char* name) {
  Settle();
  const QString path = folder.filePath(QString::fromLatin1(name));
  const bool ok = widget.grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  InstallRussianTranslation(app);
  if (argc < 2) {
    std::fprintf(stderr, "usage: reelo_playback_screenshots <folder>\n");
    return 2;
  }
  QDir folder(QString::fromLocal8Bit(argv[1]));
  folder.mkpath(QStringLiteral("."));
  FakeAudioOutput output;
  AppState state;
  QtPrompts prompts;
  Form1 form(state, prompts);
  form.UseAudioOutput(output);
  state.document.Reset(reelo::TapeProject{{MakeHeader(0, "loader", 120), MakeDataBlock(RandomBytes(120)),
                          MakeHeader(3, "screen", 6912, 16384), MakeDataBlock(RandomBytes(6912))}});
  form.RefreshBlockList();
  form.UpdateSummary();
  form.resize(kWideWidth, form.height());
  form.show();
  bool ok = true;

  form.findChild<QAction*>(QStringLiteral("tapeplay"))->trigger();
  output.Play(TapeSignalStream(state.project, SignalOptions{}).blockStart(1) + 30000);
  form.deck().Poll();
  ok &= Save(form, folder, "playback_01_playing.png");

  form.findChild<QAction*>(QStringLiteral("tapepauseafter"))->trigger();
  output.PlayAll();
  form.deck().Poll();
  ok &= Save(form, folder, "playback_02_held.png");

  auto* menu = form.findChild<QMenu*>(QStringLiteral("tapemenu"));
  menu->popup(form.mapToGlobal(QPoint(0, form.menuBar()->height())));
  ok &= Save(*menu, folder, "playback_03_menu.png");
  menu->hide();

  form.findChild<QAction*>(QStringLiteral("tapeoutput"))->trigger();
  ok &= Save(*form.findChild<DeckWindow*>(QStringLiteral("DeckWindow")), folder, "playback_04_output_window.png");
  return ok ? 0 : 1;
}
