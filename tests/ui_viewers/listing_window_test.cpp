// The BASIC listing window's "Показывать скрытые байты": off when it opens,
// the listing as the Spectrum shows it; ticked, the hidden bytes as marks in
// a colour of their own; unticked again, back to the Spectrum's listing.
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "modal_visit.h"
#include "ui_test_support.h"

Q_DECLARE_METATYPE(reelo::TapeBlock)

using namespace reelo;
using namespace reelo::testing;

// Whether the characters inside braces, and only those, are drawn in a
// colour other than the text's own.
bool MarksDrawnApart(const QPlainTextEdit& text) {
  const QString plain = text.toPlainText();
  const QColor normal = text.palette().color(QPalette::Text);
  QTextCursor cursor(text.document());
  bool inMark = false;
  for (int i = 0; i < plain.size(); ++i) {
    if (plain[i] == u'{') inMark = true;
    cursor.setPosition(i + 1);  // the format of the character before the cursor
    const QBrush brush = cursor.charFormat().foreground();
    const bool apart = brush.style() != Qt::NoBrush && brush.color() != normal;
    if (apart != inMark && plain[i] != u'\n') return false;
    if (plain[i] == u'}') inMark = false;
  }
  return plain.contains(u'{');
}

class TestListingWindow : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> w;

 private slots:
  void init() { w = std::make_unique<MainWindow>(); }
  void cleanup() {
    QVERIFY2(w->prompts.Unused().isEmpty(), qPrintable("planned but not shown: " + w->prompts.Unused()));
    w.reset();
  }

  void testBothRenderings_data() {
    QTest::addColumn<TapeBlock>("block");
    QTest::addColumn<QString>("spectrum");
    QTest::addColumn<QString>("exact");
    // 10 GO SUB 1000: the number's form 0E 00 00 E8 03 00 holds E8, CONTINUE.
    QTest::newRow("a number's hidden form")
        << MakeDataBlock({0x00, 0x0A, 0x0C, 0x00, 0xED, '1', '0', '0', '0', 0x0E, 0x00, 0x00, 0xE8, 0x03, 0x00, 0x0D})
        << U("   10 GO SUB 1000\n") << U("   10 GO SUB 1000{0E 00 00 E8 03 00}\n");
    // 10 PRINT 13;"A" then 20 STOP: the form of 13 holds a 13, which does
    // not end the line.
    QTest::newRow("a number whose form holds 13")
        << MakeDataBlock({0x00, 0x0A, 0x0E, 0x00, 0xF5, '1', '3', 0x0E, 0x00, 0x00, 0x0D, 0x00, 0x00, ';', '"', 'A', '"',
                          0x0D, 0x00, 0x14, 0x02, 0x00, 0xE2, 0x0D})
        << U("   10 PRINT 13;\"A\"\n   20 STOP \n") << U("   10 PRINT 13{0E 00 00 0D 00 00};\"A\"\n   20 STOP \n");
    // 10 PRINT "A" with the position code AT (22) and its two parameter
    // bytes in front of the string.
    QTest::newRow("a position code and its parameters")
        << MakeDataBlock({0x00, 0x0A, 0x08, 0x00, 0xF5, 0x16, 'A', 'B', '"', 'A', '"', 0x0D})
        << U("   10 PRINT \"A\"\n") << U("   10 PRINT {AT 65,66}\"A\"\n");
  }
  void testBothRenderings() {
    QFETCH(TapeBlock, block);
    QFETCH(QString, spectrum);
    QFETCH(QString, exact);
    w->SetBlocks({block});
    w->ClickLine(0);
    QStringList seen;
    bool marksDrawnApart = false;
    bool checkedAtFirst = true;
    QString caption;
    ModalVisit visit([&](QWidget* window) {
      auto* text = window->findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
      auto* check = window->findChild<QCheckBox*>(QStringLiteral("Check1"));
      if (!text || !check) return;
      checkedAtFirst = check->isChecked();
      caption = check->text();
      seen << text->toPlainText();
      QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
      seen << text->toPlainText();
      marksDrawnApart = MarksDrawnApart(*text);
      QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
      seen << text->toPlainText();
    });
    w->Run("viewbasic");
    QVERIFY2(visit.visited() && !visit.forced(), "the window opened and closed on Закрыть");
    QCOMPARE(caption, U("Показывать скрытые байты"));
    QVERIFY(!checkedAtFirst);
    QCOMPARE(seen, (QStringList{spectrum, exact, spectrum}));
    QVERIFY2(marksDrawnApart, "every character of a mark, and none other, in the marks' colour");
  }
};

REELO_UI_TEST_MAIN(TestListingWindow)
#include "listing_window_test.moc"
