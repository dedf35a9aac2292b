// The real message boxes and file dialogs (Qt's own, in Russian), the filter
// conversion, and the start-up's advice when there is no display.
#include <QAbstractProxyModel>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <map>

#include "ui/qt_prompts.h"
#include "ui_test_support.h"

using namespace reelo;
using namespace reelo::testing;

namespace {

constexpr int kFindAttempts = 200;
constexpr int kFindIntervalMs = 10;

// Waits (inside the dialog's own event loop) for a visible top-level widget of
// type T, then hands it to `act`. Gives up after a while so a test cannot hang.
template <typename T>
void WhenShown(std::function<void(T*)> act, int attempt = 0) {
  QTimer::singleShot(kFindIntervalMs, [act, attempt] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* found = qobject_cast<T*>(widget); found && found->isVisible()) {
        act(found);
        return;
      }
    }
    if (attempt < kFindAttempts) WhenShown<T>(act, attempt + 1);
  });
}

QString ButtonText(const QAbstractButton* button) { return button->text().remove(u'&'); }

}  // namespace

class TestPrompts : public QObject {
  Q_OBJECT

 private slots:
  void testNameFilters_data() {
    QTest::addColumn<QString>("pairs");
    QTest::addColumn<QStringList>("filters");
    QTest::newRow("TAP dialogs") << U("Образ ленты (*.tap)|*.tap|Все файлы|*.*")
                                 << QStringList{U("Образ ленты (*.tap)"), U("Все файлы (*)")};
    QTest::newRow("WAV dialog") << U("Звуковой файл (*.wav)|*.wav|Все файлы|*.*")
                                << QStringList{U("Звуковой файл (*.wav)"), U("Все файлы (*)")};
    QTest::newRow("several patterns") << U("Ленты|*.tap;*.TAP") << QStringList{U("Ленты (*.tap *.TAP)")};
    QTest::newRow("description without pattern ignored") << U("Ленты|*.tap|Лишнее") << QStringList{U("Ленты (*.tap)")};
    QTest::newRow("empty") << QString() << QStringList{};
  }
  void testNameFilters() {
    QFETCH(QString, pairs);
    QFETCH(QStringList, filters);
    QCOMPARE(QtNameFilters(pairs), filters);
  }

  void testMessageBox_data() {
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("press");  // a standard button, or 0 for Escape
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("answer");
    const QStringList yesNoCancel{U("Да"), U("Нет"), U("Отмена")};
    const QStringList yesNo{U("Да"), U("Нет")};
    QTest::newRow("Да Нет Отмена: Да") << int(Buttons::YesNoCancel) << int(BoxIcon::None) << U("Выход")
                                       << int(QMessageBox::Yes) << yesNoCancel << int(Answer::Yes);
    QTest::newRow("Да Нет Отмена: Нет") << int(Buttons::YesNoCancel) << int(BoxIcon::None) << U("Выход")
                                        << int(QMessageBox::No) << yesNoCancel << int(Answer::No);
    QTest::newRow("Да Нет Отмена: Escape is Отмена") << int(Buttons::YesNoCancel) << int(BoxIcon::None) << U("Выход")
                                                     << 0 << yesNoCancel << int(Answer::Cancel);
    QTest::newRow("Да Нет: Да") << int(Buttons::YesNo) << int(BoxIcon::None) << U("Сохранение файла")
                                << int(QMessageBox::Yes) << yesNo << int(Answer::Yes);
    QTest::newRow("Да Нет: Escape is Нет") << int(Buttons::YesNo) << int(BoxIcon::None) << U("Сохранение файла") << 0
                                           << yesNo << int(Answer::No);
    QTest::newRow("OK, critical, no title of its own") << int(Buttons::Ok) << int(BoxIcon::Critical) << QString()
                                                       << int(QMessageBox::Ok) << QStringList{"OK"} << int(Answer::Ok);
    QTest::newRow("OK, information") << int(Buttons::Ok) << int(BoxIcon::Information) << U("Исправление контрольных сумм")
                                     << 0 << QStringList{"OK"} << int(Answer::Ok);
  }
  void testMessageBox() {
    QFETCH(int, buttons);
    QFETCH(int, icon);
    QFETCH(QString, title);
    QFETCH(int, press);
    QFETCH(QStringList, texts);
    QFETCH(int, answer);
    const std::map<int, QMessageBox::Icon> qtIcons{{int(BoxIcon::None), QMessageBox::NoIcon},
                                                   {int(BoxIcon::Critical), QMessageBox::Critical},
                                                   {int(BoxIcon::Information), QMessageBox::Information}};
    QString shownTitle;
    QStringList shownTexts;
    QMessageBox::Icon shownIcon{};
    WhenShown<QMessageBox>([&](QMessageBox* box) {
      shownTitle = box->windowTitle();
      shownIcon = box->icon();
      for (const QAbstractButton* button : box->buttons()) shownTexts << ButtonText(button);
      if (press) {
        box->button(QMessageBox::StandardButton(press))->click();
      } else {
        QTest::keyClick(box, Qt::Key_Escape);
      }
    });
    QtPrompts prompts;
    const Answer got = prompts.Ask({U("Сохранить изменения?"), title, Buttons(buttons), BoxIcon(icon), {}});

    QCOMPARE(int(got), answer);
    QCOMPARE(shownTitle, title.isEmpty() ? U("Reelo") : title);
    QCOMPARE(shownIcon, qtIcons.at(icon));
    shownTexts.sort();
    texts.sort();
    // Qt's Russian "OK" is the Latin one, as on the system the texts come from.
    QCOMPARE(shownTexts, texts);
  }

  void testFileDialogAddsNoExtension_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("typed");
    QTest::newRow("save TAP") << int(FileDialogKind::Save) << U("Образ ленты (*.tap)|*.tap|Все файлы|*.*") << "game";
    QTest::newRow("save WAV") << int(FileDialogKind::Save) << U("Звуковой файл (*.wav)|*.wav|Все файлы|*.*") << "tape";
    QTest::newRow("cancelled") << int(FileDialogKind::Open) << U("Образ ленты (*.tap)|*.tap|Все файлы|*.*") << "";
  }
  void testFileDialogAddsNoExtension() {
    QFETCH(int, kind);
    QFETCH(QString, filter);
    QFETCH(QString, typed);
    TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    QString shownTitle;
    QStringList shownFilters;
    bool asksToOverwrite = true;
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
      shownTitle = dialog->windowTitle();
      shownFilters = dialog->nameFilters();
      asksToOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
      if (typed.isEmpty()) {
        dialog->reject();
        return;
      }
      dialog->setDirectory(folder);
      dialog->findChild<QLineEdit*>("fileNameEdit")->setText(typed);
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QtPrompts prompts;
    const QString chosen = prompts.ChooseFile({FileDialogKind(kind), U("Заголовок"), filter});

    QCOMPARE(chosen, typed.isEmpty() ? QString() : folder + "/" + typed);
    QCOMPARE(shownTitle, U("Заголовок"));
    QCOMPARE(shownFilters, QtNameFilters(filter));
    QVERIFY2(!asksToOverwrite, "the commands ask their own replace question");
  }

  // The type chosen in the dialog comes back as the index of its pair, also
  // where two pairs share one pattern.
  void testFileDialogTellsTheType_data() {
    QTest::addColumn<int>("chosen");  // -1: cancelled
    QTest::addColumn<int>("type");
    QTest::newRow("the first") << 0 << 0;
    QTest::newRow("the second of two with the same pattern") << 2 << 2;
    QTest::newRow("the last") << 3 << 3;
    QTest::newRow("cancelled: the type is left alone") << -1 << 99;
  }
  void testFileDialogTellsTheType() {
    QFETCH(int, chosen);
    QFETCH(int, type);
    TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
      if (chosen < 0) {
        dialog->reject();
        return;
      }
      dialog->setDirectory(folder);
      dialog->selectNameFilter(dialog->nameFilters().at(chosen));
      dialog->findChild<QLineEdit*>("fileNameEdit")->setText("out");
      QMetaObject::invokeMethod(dialog, "accept");
    });
    QtPrompts prompts;
    int shown = 99;
    const QString path = prompts.ChooseFileAndType(
        {FileDialogKind::Save, U("Данные"),
         U("Данные (*.bin)|*.bin|Рисунок 256x192 (*.png)|*.png|Рисунок 512x384 (*.png)|*.png|Текст (*.txt)|*.txt")},
        shown);
    QCOMPARE(shown, type);
    QCOMPARE(path, chosen < 0 ? QString() : folder + "/out");
  }

  // The file dialog's list reads in Russian whatever the system's language:
  // the type of a folder, the sizes, the dates, the labels and buttons.
  void testFileDialogInRussian_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("bytes");  // -1: a folder
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("size");
    QTest::newRow("folder") << "games" << -1 << U("Папка") << "";
    QTest::newRow("small file") << "a.tap" << 512 << "" << U("512 байт");
    QTest::newRow("kilobytes") << "b.tap" << 1536 << "" << U("1,5 КБ");
    QTest::newRow("megabytes") << "c.tap" << 3 * 1024 * 1024 << "" << U("3,0 МБ");
  }
  void testFileDialogInRussian() {
    QFETCH(QString, name);
    QFETCH(int, bytes);
    QFETCH(QString, type);
    QFETCH(QString, size);
    TempDir dir;
    const QString folder = QString::fromStdString(dir.path().string());
    const QString path = folder + "/" + name;
    if (bytes < 0) {
      QVERIFY(QDir().mkdir(path));
    } else {
      WriteFileBytes(path.toStdString(), Bytes(static_cast<std::size_t>(bytes), 0));
    }
    const QDateTime stamp(QDate(2026, 12, 8), QTime(15, 7));
    QFile file(path);
    if (bytes >= 0) {
      QVERIFY(file.open(QIODevice::ReadWrite));
      QVERIFY(file.setFileTime(stamp, QFileDevice::FileModificationTime));
      file.close();
    }
    auto dialog = BuildFileDialog({FileDialogKind::Open, U("Открыть"), U("Все файлы|*.*")}, nullptr, folder);
    dialog->show();
    auto* list = qobject_cast<QAbstractProxyModel*>(dialog->proxyModel());
    QVERIFY(list);
    auto* files = qobject_cast<QFileSystemModel*>(list->sourceModel());
    QVERIFY(files);
    const QModelIndex row = list->mapFromSource(files->index(path));
    QVERIFY(row.isValid());
    QCOMPARE(row.data().toString(), name);
    QTRY_COMPARE(row.siblingAtColumn(1).data().toString(), size);
    if (!type.isEmpty()) QTRY_COMPARE(row.siblingAtColumn(2).data().toString(), type);
    if (bytes >= 0) QTRY_COMPARE(row.siblingAtColumn(3).data().toString(), U("08.12.2026 15:07"));
    const QStringList header{U("Имя"), U("Размер"), U("Тип"), U("Дата изменения")};
    for (int column = 0; column < header.size(); ++column) {
      QCOMPARE(list->headerData(column, Qt::Horizontal).toString(), header[column]);
    }
    QCOMPARE(dialog->labelText(QFileDialog::LookIn), U("Перейти к:"));
    QCOMPARE(dialog->labelText(QFileDialog::FileType), U("Типы файлов:"));
    QCOMPARE(dialog->labelText(QFileDialog::Reject), U("Отмена"));
  }

  void testNoDisplayAdvice_data() {
    QTest::addColumn<QString>("variable");  // the one that is set, "" for none
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("advised");
    QTest::newRow("nothing set") << "" << "" << true;
    QTest::newRow("DISPLAY empty") << "DISPLAY" << "" << true;
    QTest::newRow("DISPLAY") << "DISPLAY" << ":0" << false;
    QTest::newRow("Wayland") << "WAYLAND_DISPLAY" << "wayland-0" << false;
    QTest::newRow("platform chosen") << "QT_QPA_PLATFORM" << "offscreen" << false;
  }
  void testNoDisplayAdvice() {
    QFETCH(QString, variable);
    QFETCH(QString, value);
    QFETCH(bool, advised);
    const QByteArray name = variable.toLatin1();
    const QByteArray text = value.toLatin1();
    const std::string advice = NoDisplayAdvice(
        [&](const char* asked) { return name == asked ? text.constData() : static_cast<const char*>(nullptr); });
    QCOMPARE(!advice.empty(), advised);
    if (advised) {
      QVERIFY(advice.find("xvfb-run make run") != std::string::npos);
      QVERIFY(QString::fromStdString(advice).contains(U("Задайте переменную DISPLAY")));
    }
  }
};

REELO_UI_TEST_MAIN(TestPrompts)
#include "prompts_test.moc"
