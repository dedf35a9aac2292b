// Renders the four viewer windows with real content to PNG files:
//   reelo_viewer_screenshots <folder>
// the listing of a program tokenised by zmakebas, a text block, the dump of
// that program, and a colour screen in each of the three modes.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QThread>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "modal_visit.h"
#include "project/tap_file.h"
#include "tape_builders.h"
#include "ui/form1.h"
#include "ui/qt_prompts.h"
#include "ui/startup.h"
#include "ui/viewers/form3_screen.h"
#include "viewers/screen_view.h"

namespace {

using namespace reelo;
using namespace reelo::testing;

constexpr int kSettleMs = 50;

constexpr const char* kProgram = R"(10 REM Reelo demo
20 BORDER 1: PAPER 1: INK 7: CLS
30 LET score=0: LET lives=3
40 PRINT AT 0,0;"SCORE ";score;TAB 20;"LIVES ";lives
50 FOR i=1 TO 10 STEP 2
60 PLOT 128+40*SIN (i/5),88+40*COS (i/5): DRAW 10,10
70 NEXT i
80 IF INKEY$="q" THEN GO TO 200
90 LET score=score+INT (RND*10): BEEP 0.1,score/10
100 IF score>=100 AND lives<>0 THEN PRINT FLASH 1;"WELL DONE!": GO SUB 300
110 PRINT AT 21,0;"A long line of text that runs past the right edge of the window and wraps onto the next line of the listing"
120 GO TO 40
200 STOP
300 RESTORE : READ a$: PRINT a$: RETURN
310 DATA "Reelo",1,2,3
)";

constexpr const char* kText =
    "Reelo text view\r"
    "Printable bytes appear as they are; byte 13 ends a line.\r"
    "Control and graphics bytes show as underscores: \x01\x02\x90\x91\xA5\r"
    "\r"
    "The lines wrap at the right edge of the window when they are longer than it is wide, as this one does, "
    "because the text area has a vertical scroll bar only.";

void Settle() {
  QApplication::processEvents();
  QThread::msleep(kSettleMs);
  QApplication::processEvents();
}

void Save(QWidget& widget, const QString& folder, const QString& name) {
  Settle();
  const QString path = QDir(folder).filePath(QStringLiteral("viewer_%1.png").arg(name));
  if (!widget.grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  std::printf("%s\n", qPrintable(path));
}

// The program block of kProgram as zmakebas tokenises it; empty on failure.
TapeBlock ZmakebasProgram() {
  const QString dir = QDir::temp().filePath(QStringLiteral("reelo_viewer_shots_%1").arg(QCoreApplication::applicationPid()));
  QDir().mkpath(dir);
  const std::string bas = (dir + QStringLiteral("/demo.bas")).toStdString();
  const std::string tap = (dir + QStringLiteral("/demo.tap")).toStdString();
  std::ofstream(bas, std::ios::binary) << kProgram;
  const std::string command = "zmakebas -a 10 -n demo -o '" + tap + "' '" + bas + "'";
  TapeProject project;
  NullProgress progress;
  if (std::system(command.c_str()) == 0) LoadTapFile(project, tap, progress);
  QDir(dir).removeRecursively();
  return project.blockCount() == 2 ? project.blocks[1] : TapeBlock{};
}

// A colourful screen: bands of every paper colour (BRIGHT in the lower half),
// ink in the next colour, a ring, diagonal stripes and a chequered corner.
TapeBlock ColourScreen() {
  Bytes data(kScreenBytes, 0);
  const auto set = [&data](int x, int y) {
    if (x < 0 || x >= kScreenWidth || y < 0 || y >= kScreenHeight) return;
    data[static_cast<std::size_t>(BitmapByteIndex(x / 8, y))] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
  };
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      const double r = std::hypot(x - 128.0, y - 96.0);
      if (std::abs(r - 70.0) < 6.0 || ((x + y) % 16 < 3 && r > 80.0) || (x < 48 && y < 48 && (x / 6 + y / 6) % 2)) {
        set(x, y);
      }
    }
  }
  for (int row = 0; row < kCellRows; ++row) {
    for (int column = 0; column < kCellColumns; ++column) {
      const int paper = column / 4;
      const int ink = (paper + 3) % 8;
      const int bright = row >= kCellRows / 2 ? 0x40 : 0;
      data[static_cast<std::size_t>(kBitmapBytes + row * kCellColumns + column)] =
          static_cast<std::uint8_t>(bright | paper << 3 | ink);
    }
  }
  return MakeDataBlock(data);
}

// Runs a modal view command on `row` and saves its window as it first shows.
void ShootModal(Form1& form, int row, void (Form1::*command)(), const QString& folder, const QString& name) {
  form.findChild<QListWidget*>(QStringLiteral("List1"))->setCurrentRow(row);
  ModalVisit visit([&](QWidget* window) { Save(*window, folder, name); });
  (form.*command)();
}

// The listing as the Spectrum shows it, then with its hidden bytes shown.
void ShootListing(Form1& form, int row, const QString& folder) {
  form.findChild<QListWidget*>(QStringLiteral("List1"))->setCurrentRow(row);
  ModalVisit visit([&](QWidget* window) {
    Save(*window, folder, QStringLiteral("form2_listing"));
    if (auto* check = window->findChild<QCheckBox*>(QStringLiteral("Check1"))) check->setChecked(true);
    Save(*window, folder, QStringLiteral("form2_listing_hidden_bytes"));
  });
  form.viewbasic_Click();
}

void ShootScreen(Form1& form, int row, const QString& folder) {
  form.findChild<QListWidget*>(QStringLiteral("List1"))->setCurrentRow(row);
  form.viewscreen_Click();
  auto* screen = form.findChild<Form3*>();
  Save(*screen, folder, QStringLiteral("form3_colour"));
  const char* modes[][2] = {{"Command3", "form3_black_on_white"}, {"Command4", "form3_white_on_black"}};
  for (const auto& mode : modes) {
    screen->findChild<QPushButton*>(QString::fromLatin1(mode[0]))->click();
    Save(*screen, folder, QString::fromLatin1(mode[1]));
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  InstallRussianTranslation(app);
  const QStringList args = QApplication::arguments();
  const QString folder = args.size() >= 2 ? args[1] : QStringLiteral("screenshots");
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
    return 1;
  }
  const TapeBlock program = ZmakebasProgram();
  if (program.empty()) {
    std::fprintf(stderr, "zmakebas did not give a program (is it installed?)\n");
    return 1;
  }
  AppState state;
  QtPrompts prompts;
  Form1 form(state, prompts);
  prompts.setParentWidget(&form);
  form.show();
  state.document.Reset(reelo::TapeProject{{program, MakeDataBlock(Bytes(kText, kText + std::char_traits<char>::length(kText))),
                          ColourScreen()}});
  form.RefreshBlockList();
  form.UpdateSummary();

  ShootListing(form, 0, folder);
  ShootModal(form, 1, &Form1::viewtext_Click, folder, QStringLiteral("form6_text"));
  ShootModal(form, 0, &Form1::viewcode_Click, folder, QStringLiteral("form7_dump"));
  ShootScreen(form, 2, folder);
  return 0;
}
