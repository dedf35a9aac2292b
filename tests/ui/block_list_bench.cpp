// Timings of the main window's block list (QBENCHMARK; not part of ctest):
//   10 000 lines of damaged blocks (each with its mark and tooltip) built from
//   the blocks and put into the list until it has painted, beside the same
//   list of sound blocks as the floor; and the window's own refresh of a full
//   project of 1000 damaged blocks. The goal: 10 000 lines under 200 ms.
// Run a Release build: QT_QPA_PLATFORM=offscreen ui_block_list_bench
#include <QApplication>
#include <QTest>

#include "project/block_list.h"
#include "scripted_prompts.h"
#include "tape_builders.h"
#include "ui/app_state.h"
#include "ui/block_list_widget.h"
#include "ui/form1.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

constexpr int kManyBlocks = 10000;

// Header and data pairs, as a tape holds them; damaged ones with a checksum
// off by one.
TapeProject Tape(int blocks, bool damaged) {
  TapeProject project;
  for (int i = 0; i < blocks; ++i) {
    TapeBlock block = i % 2 == 0 ? MakeHeader(3, "block" + std::to_string(i), 200, 32768)
                                 : MakeDataBlock(RandomBytes(200, static_cast<unsigned>(i)));
    if (damaged) block.mutableBytes().back() ^= 1;
    project.blocks.push_back(std::move(block));
  }
  return project;
}

}  // namespace

class BenchBlockList : public QObject {
  Q_OBJECT

 private slots:
  void benchFill_data() {
    QTest::addColumn<bool>("damaged");
    QTest::newRow("10000 damaged blocks") << true;
    QTest::newRow("10000 sound blocks") << false;
  }
  void benchFill() {
    QFETCH(bool, damaged);
    const TapeProject project = Tape(kManyBlocks, damaged);
    BlockListWidget list;
    list.resize(400, 600);
    list.show();
    QBENCHMARK {
      list.ShowEntries(BlockListEntries(project));
      list.repaint();
    }
    QCOMPARE(list.count(), kManyBlocks);
    QCOMPARE(list.item(1)->toolTip().isEmpty(), !damaged);
  }

  void benchWindowRefreshOfAFullProject() {
    AppState state;
    ScriptedPrompts prompts;
    Form1 form(state, prompts);
    form.show();
    state.document.Reset(Tape(kMaxBlocks, true));
    QBENCHMARK {
      form.RefreshBlockList();
      form.repaint();
    }
  }
};

QTEST_MAIN(BenchBlockList)
#include "block_list_bench.moc"
