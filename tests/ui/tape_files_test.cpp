// Tape files in every format through the main window's commands (Open, Add
// file, Save as), and the WAV export with its options window: what is read
// and written, what the boxes say, and what the window proposes.
#include <QCheckBox>
#include <filesystem>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTimer>

#include "formats/tape_file.h"
#include "project/tap_file.h"
#include "sound/export/wav_writer.h"
#include "ui/qt_prompts.h"
#include "ui/tape_filters.h"
#include "ui/wav_options_window.h"
#include "ui_test_support.h"

Q_DECLARE_METATYPE(reelo::WavExportChoice)
Q_DECLARE_METATYPE(reelo::testing::Bytes)

using namespace reelo;
using namespace reelo::testing;

namespace {

std::vector<TapeBlock> SampleBlocks() {
  return {MakeHeader(0, "loader", 3, 10), MakeDataBlock({0x00, 0x0A, 0x0D}), MakeHeader(3, "screen", 64, 16384),
          MakeDataBlock(RandomBytes(64, 5))};
}

// A TZX file by hand: its signature and version, then the blocks' bytes.
Bytes Tzx(std::initializer_list<Bytes> blocks) {
  Bytes out{'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};
  for (const Bytes& b : blocks) out.insert(out.end(), b.begin(), b.end());
  return out;
}
// A standard-speed data block (ID 10) holding one TAP record's flag, data and checksum.
Bytes StandardBlock(const TapeBlock& record) {
  const std::size_t length = record.size() - 2;
  Bytes out{0x10, 0xE8, 0x03, static_cast<std::uint8_t>(length & 0xFF), static_cast<std::uint8_t>(length >> 8)};
  out.insert(out.end(), record.begin() + 2, record.end());
  return out;
}
Bytes TextBlock(const std::string& text) {
  Bytes out{0x30, static_cast<std::uint8_t>(text.size())};
  out.insert(out.end(), text.begin(), text.end());
  return out;
}
Bytes PauseBlock() { return {0x20, 0xE8, 0x03}; }
// A CSW file (version 1, 44100 Hz) of the pulses the ROM's SAVE makes for the
// records, a second of silence before each.
Bytes RomCsw(const std::vector<TapeBlock>& records) {
  const std::string signature = "Compressed Square Wave\x1A";
  Bytes out(signature.begin(), signature.end());
  out.insert(out.end(), {1, 1, 0x44, 0xAC, 1, 0, 0, 0, 0});
  std::uint64_t clock = 0, done = 0;
  const auto pulse = [&](std::uint64_t ticks) {
    clock += ticks;
    const std::uint64_t end = clock * 44100 / 3500000;
    const auto n = static_cast<std::uint32_t>(end - done);
    done = end;
    if (n > 0 && n < 256) {
      out.push_back(static_cast<std::uint8_t>(n));
    } else {
      out.insert(out.end(), {0, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                             static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)});
    }
  };
  for (const TapeBlock& record : records) {
    pulse(3500000);
    for (int i = 0; i < (record[2] < 0x80 ? 8063 : 3223); ++i) pulse(2168);
    pulse(667);
    pulse(735);
    for (std::size_t i = 2; i < record.size(); ++i) {
      for (int bit = 7; bit >= 0; --bit) {
        const int length = (record[i] >> bit) & 1 ? 1710 : 855;
        pulse(length);
        pulse(length);
      }
    }
  }
  pulse(3500000);
  return out;
}
// Appends a turbo block's 3-byte data length and the record's bytes after its length field.
void PutLength(Bytes& block, const TapeBlock& record) {
  const std::size_t length = record.size() - 2;
  for (int i = 0; i < 3; ++i) block.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
  block.insert(block.end(), record.begin() + 2, record.end());
}

std::string Path(const TempDir& dir, const char* name) { return (dir.path() / name).string(); }

// Puts a choice into the options window's controls as a person would, with
// the mouse and the lists.
void Choose(WavOptionsWindow& window, const WavExportChoice& choice) {
  auto* rate = window.findChild<QComboBox*>("SampleRate");
  rate->setCurrentIndex(rate->findText(QStringLiteral("%1 Гц").arg(choice.signal.sampleRate)));
  auto* bits = window.findChild<QComboBox*>("BitsPerSample");
  bits->setCurrentIndex(bits->findText(QStringLiteral("%1 бит").arg(choice.signal.bitsPerSample)));
  const std::pair<const char*, bool> boxes[] = {{"Inverted", choice.signal.inverted},
                                                {"RomTimings", choice.signal.timings == SignalTimings::Rom},
                                                {"Verify", choice.verify}};
  for (const auto& [name, on] : boxes) {
    auto* box = window.findChild<QCheckBox*>(name);
    if (box->isChecked() != on) QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
  }
}

WavExportChoice MakeChoice(int rate, int bits, bool inverted, bool rom, bool verify) {
  return {{rate, bits, inverted, rom ? SignalTimings::Rom : SignalTimings::Exact}, verify};
}

}  // namespace

class TestTapeFiles : public QObject {
  Q_OBJECT

  std::unique_ptr<MainWindow> w;
  std::unique_ptr<TempDir> dir;

 private slots:
  void init() {
    w = std::make_unique<MainWindow>();
    dir = std::make_unique<TempDir>();
  }
  void cleanup() {
    QVERIFY2(w->prompts.Unused().isEmpty(), qPrintable("planned but not shown: " + w->prompts.Unused()));
    w.reset();
    dir.reset();
  }

  // Open and Add file take every format by its content; a load that could not
  // keep everything says what, in one warning, with the list already showing
  // what was read.
  void testOpenFormats_data() {
    QTest::addColumn<QString>("command");  // fileopen or editadd
    QTest::addColumn<QString>("name");
    QTest::addColumn<Bytes>("content");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<QString>("warning");  // "" for no box
    const auto tape = SampleBlocks();
    const Bytes standard = Tzx({StandardBlock(tape[0]), StandardBlock(tape[1])});
    QTest::newRow("TZX of standard blocks") << "fileopen" << "game.tzx" << standard << 2 << "";
    QTest::newRow("TZX named .tap") << "fileopen" << "game.tap" << standard << 2 << "";
    QTest::newRow("TAP named .tzx") << "fileopen" << "game.tzx" << Concat({tape[0], tape[1], tape[2]}) << 3 << "";
    QTest::newRow("TZX with a text and a pause: kept as blocks")
        << "fileopen" << "game.tzx" << Tzx({TextBlock("Reelo"), StandardBlock(tape[0]), PauseBlock()}) << 3 << "";
    QTest::newRow("TZX with a block of an unknown kind: kept")
        << "fileopen" << "game.tzx" << Tzx({StandardBlock(tape[1]), Bytes{0x99, 2, 0, 0, 0, 0xAA, 0xBB}}) << 2 << "";
    QTest::newRow("Add file: TZX after the blocks there")
        << "editadd" << "more.tzx" << Tzx({StandardBlock(tape[2]), StandardBlock(tape[3])}) << 6 << "";
  }
  void testOpenFormats() {
    QFETCH(QString, command);
    QFETCH(QString, name);
    QFETCH(Bytes, content);
    QFETCH(int, blocks);
    QFETCH(QString, warning);
    if (command == "editadd") w->SetBlocks({MakeDataBlock({1}), MakeDataBlock({2}), MakeDataBlock({3}),
                                            MakeDataBlock({4})});
    const std::string path = Path(*dir, qPrintable(name));
    WriteFileBytes(path, content);
    w->prompts.PlanFile(QString::fromStdString(path));
    if (!warning.isEmpty()) {
      w->prompts.onBox = [&](const ShownPrompt&) { QCOMPARE(w->List()->count(), blocks); };
      w->prompts.PlanAnswer(Answer::Ok);
    }
    w->Run(qPrintable(command));

    QVERIFY(w->prompts.shown[0].filter.contains("*.tzx"));
    QVERIFY(w->prompts.shown[0].filter.contains("*.csw"));
    QVERIFY(w->prompts.shown[0].filter.endsWith(U("|Все файлы|*.*")));
    QCOMPARE(w->state.project.blockCount(), blocks);
    QCOMPARE(w->List()->count(), blocks);
    QCOMPARE(int(w->prompts.shown.size()), warning.isEmpty() ? 1 : 2);
    if (!warning.isEmpty()) {
      QCOMPARE(w->prompts.shown[1].text, warning);
      QCOMPARE(w->prompts.shown[1].icon, BoxIcon::Warning);
    }
    if (command == "fileopen") QCOMPARE(w->state.project.fileName, path);
    QCOMPARE(w->state.project.modified, command == "editadd");
  }

  // The open dialog's first filter shows tape files whatever the case of
  // their names, and nothing else.
  void testOpenDialogShowsTapesInAnyCase() {
    for (const char* name : {"game.tap", "GAME.TZX", "Demo.Pzx", "rec.csw", "notes.txt", "tape.wav"}) {
      WriteFileBytes(dir->path() / name, {1});
    }
    auto dialog = BuildFileDialog({FileDialogKind::Open, "open", QString::fromUtf8(kTapeOpenFilter)}, nullptr,
                                  QString::fromStdString(dir->path().string()));
    dialog->show();
    auto* view = dialog->findChild<QListView*>("listView");
    QVERIFY(view);
    QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), 4);
    QStringList shown;
    for (int row = 0; row < 4; ++row) shown << view->model()->index(row, 0, view->rootIndex()).data().toString();
    shown.sort(Qt::CaseInsensitive);
    QCOMPARE(shown, (QStringList{"Demo.Pzx", "game.tap", "GAME.TZX", "rec.csw"}));
  }

  // Save as: a name typed without an extension takes the one of the file
  // type chosen in the dialog; one typed with an extension keeps it.
  void testSaveDialogExtension_data() {
    QTest::addColumn<int>("type");  // 0 TAP, 1 TZX, 2 all files
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("returned");
    QTest::newRow("TAP chosen") << 0 << "game" << "game.tap";
    QTest::newRow("TZX chosen") << 1 << "game" << "game.tzx";
    QTest::newRow("all files chosen: none added") << 2 << "game" << "game";
    QTest::newRow("TZX chosen, .tap typed") << 1 << "game.tap" << "game.tap";
  }
  void testSaveDialogExtension() {
    QFETCH(int, type);
    QFETCH(QString, typed);
    QFETCH(QString, returned);
    const QString folder = QString::fromStdString(dir->path().string());
    auto dialog = BuildFileDialog({FileDialogKind::Save, "save", QString::fromUtf8(kTapeSaveFilter), true}, nullptr,
                                  folder);
    dialog->show();
    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    QVERIFY(types);
    for (int i = 0; i < type; ++i) QTest::keyClick(types, Qt::Key_Down);  // as a person picks a type
    QCOMPARE(types->currentIndex(), type);
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(typed);
    QMetaObject::invokeMethod(dialog.get(), "accept");
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(dialog->selectedFiles(), QStringList{folder + "/" + returned});
  }

  // Broken files: the library's refusal as a failure that loads nothing and
  // leaves the project without a name; a file cut short keeps what was whole.
  void testOpenDamagedTzx_data() {
    QTest::addColumn<Bytes>("content");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("blocks");
    const TapeBlock record = SampleBlocks()[1];
    QTest::newRow("signature only") << Bytes{'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A} << int(BoxIcon::Critical)
                                    << U("Файл ленты не удалось прочитать: ") << 0;
    QTest::newRow("cut off in a turbo block's timings")
        << Tzx({StandardBlock(record), Bytes{0x11, 0x78, 0x05}}) << int(BoxIcon::Warning)
        << U("Стандартных блоков данных взято: 1.\nПоследний блок файла обрезан: не загружено 3 байт со смещения 20.")
        << 1;
    QTest::newRow("cut off inside a block")
        << Tzx({StandardBlock(record), Bytes{0x10, 0xE8, 0x03, 0xFF, 0xFF, 0x00}}) << int(BoxIcon::Warning)
        << U("Стандартных блоков данных взято: 1.\nПоследний блок файла обрезан: не загружено 6 байт со смещения 20.")
        << 1;
  }
  void testOpenDamagedTzx() {
    QFETCH(Bytes, content);
    QFETCH(int, icon);
    QFETCH(QString, text);
    QFETCH(int, blocks);
    const std::string path = Path(*dir, "bad.tzx");
    WriteFileBytes(path, content);
    w->prompts.PlanFile(QString::fromStdString(path)).PlanAnswer(Answer::Ok);
    w->Run("fileopen");
    QCOMPARE(w->prompts.shown.size(), std::size_t{2});
    QCOMPARE(int(w->prompts.shown[1].icon), icon);
    QVERIFY2(w->prompts.shown[1].text.startsWith(text), qPrintable(w->prompts.shown[1].text));
    QCOMPARE(w->state.project.blockCount(), blocks);
    QCOMPARE(w->state.project.hasFileName(), icon == int(BoxIcon::Warning));
  }

  // Save as writes TZX for a name ending in .tzx, in any case, and reads back
  // into the same records; other names get TAP.
  void testSaveAsFormat_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("tzx");
    QTest::newRow("game.tzx") << "game.tzx" << true;
    QTest::newRow("GAME.TZX") << "GAME.TZX" << true;
    QTest::newRow("game.tap") << "game.tap" << false;
    QTest::newRow("game.tzx.tap") << "game.tzx.tap" << false;
  }
  void testSaveAsFormat() {
    QFETCH(QString, name);
    QFETCH(bool, tzx);
    const auto blocks = SampleBlocks();
    w->SetBlocks(blocks, true);
    const std::string path = Path(*dir, qPrintable(name));
    w->prompts.PlanFile(QString::fromStdString(path));
    w->Run("filesaveas");
    QVERIFY(!w->state.project.modified);
    const Bytes written = ReadFileBytes(path);
    QCOMPARE(DetectTapeFormat(written.data(), written.size()) == TapeFormat::Tzx, tzx);
    if (!tzx) QCOMPARE(written, Concat({blocks[0], blocks[1], blocks[2], blocks[3]}));

    // Opened again: the same records, and Save keeps the format.
    w->prompts.PlanFile(QString::fromStdString(path));
    w->Run("fileopen");
    QCOMPARE(w->state.project.blocks, blocks);
    TapeProject reopened = w->state.project;
    reopened.modified = true;
    w->state.document.Reset(std::move(reopened));
    w->Run("filesave");
    QCOMPARE(ReadFileBytes(path), written);
  }

  // A TAP file holds records only: before writing one from a tape of other
  // kinds the window says which blocks it cannot hold and asks; "Нет" writes
  // nothing and keeps the tape modified.
  void testTapSaveOfOtherKinds_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("answer Yes") << int(Answer::Yes);
    QTest::newRow("answer No") << int(Answer::No);
  }
  void testTapSaveOfOtherKinds() {
    QFETCH(int, answer);
    const auto tape = SampleBlocks();
    Bytes turbo{0x11, 0x78, 0x05, 0x90, 0x01, 0xC2, 0x01, 0xF4, 0x01, 0xE8, 0x03, 0xB8, 0x0B, 8, 0xF4, 0x01};
    PutLength(turbo, tape[3]);
    const std::string source = Path(*dir, "game.tzx");
    WriteFileBytes(source, Tzx({TextBlock("Reelo"), StandardBlock(tape[2]), turbo}));
    w->prompts.PlanFile(QString::fromStdString(source));
    w->Run("fileopen");
    QCOMPARE(w->state.project.blockCount(), 3);
    TapeProject opened = w->state.project;
    opened.modified = true;
    w->state.document.Reset(std::move(opened));
    const std::string path = Path(*dir, "game.tap");
    w->prompts.PlanFile(QString::fromStdString(path)).PlanAnswer(Answer(answer));
    w->Run("filesaveas");
    const ShownPrompt& box = w->prompts.shown.back();
    QCOMPARE(box.text, U("Формат TAP хранит только записи стандартной скорости.\n"
                         "Блоки 3 будут сохранены как обычные записи: их скорость, паузы и неполный последний байт "
                         "не сохранятся.\n"
                         "Блоки 1 (тоны, импульсы, паузы, группы, циклы, тексты) в файл не попадут.\n"
                         "Сохранить в формате TAP?"));
    QCOMPARE(box.buttons, Buttons::YesNo);
    QCOMPARE(box.icon, BoxIcon::Warning);
    if (Answer(answer) == Answer::Yes) {
      QCOMPARE(ReadFileBytes(path), Concat({tape[2], tape[3]}));
      QVERIFY(!w->state.project.modified);
    } else {
      QVERIFY(!std::filesystem::exists(path));
      QVERIFY(w->state.project.modified);
    }
    QCOMPARE(w->state.project.blockCount(), 3);
  }

  // A CSW file opens as one recording block; a TAP save of it asks first,
  // then writes the records decoded from it and says how many were found.
  void testTapSaveOfACswRecording_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("answer Yes") << int(Answer::Yes);
    QTest::newRow("answer No") << int(Answer::No);
  }
  void testTapSaveOfACswRecording() {
    QFETCH(int, answer);
    const auto tape = SampleBlocks();
    const std::string source = Path(*dir, "game.csw");
    WriteFileBytes(source, RomCsw({tape[2], tape[3]}));
    w->prompts.PlanFile(QString::fromStdString(source));
    w->Run("fileopen");
    QCOMPARE(w->state.project.blockCount(), 1);
    QCOMPARE(int(w->state.project.blocks[0].kind()), 0x18);
    const std::size_t before = w->prompts.shown.size();
    const std::string path = Path(*dir, "game.tap");
    w->prompts.PlanFile(QString::fromStdString(path)).PlanAnswer(Answer(answer));
    if (Answer(answer) == Answer::Yes) w->prompts.PlanAnswer(Answer::Ok);
    w->Run("filesaveas");
    QCOMPARE(w->prompts.shown.size(), before + (Answer(answer) == Answer::Yes ? 3 : 2));
    const ShownPrompt& question = w->prompts.shown[before + 1];
    QCOMPARE(question.text, U("Формат TAP хранит только записи стандартной скорости.\n"
                              "Блоки 1 (записи сигнала) будут расшифрованы: в файл попадут найденные в них записи.\n"
                              "Сохранить в формате TAP?"));
    QCOMPARE(question.buttons, Buttons::YesNo);
    if (Answer(answer) == Answer::Yes) {
      QCOMPARE(ReadFileBytes(path), Concat({tape[2], tape[3]}));
      const ShownPrompt& found = w->prompts.shown.back();
      QCOMPARE(found.text, U("Сигнальных блоков расшифровано: 1; найдено записей: 2."));
      QCOMPARE(found.title, U("Сохранение файла"));
      QCOMPARE(found.icon, BoxIcon::Warning);
      QVERIFY(!w->state.project.modified);
    } else {
      QVERIFY(!std::filesystem::exists(path));
    }
    QCOMPARE(w->state.project.blockCount(), 1);
  }

  // The program does not write PZX or CSW: Save of a tape opened from one asks
  // for a new name, and a PZX or CSW name chosen in Save as writes nothing, so
  // the recording is never overwritten by a TAP file.
  void testNoSaveOverACswOrPzxFile_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("written");
    QTest::newRow("Save asks for a new name") << "filesave" << "game.tap" << true;
    QTest::newRow("Save as a CSW name") << "filesaveas" << "copy.CSW" << false;
    QTest::newRow("Save as a PZX name") << "filesaveas" << "copy.pzx" << false;
  }
  void testNoSaveOverACswOrPzxFile() {
    QFETCH(QString, command);
    QFETCH(QString, chosen);
    QFETCH(bool, written);
    const auto tape = SampleBlocks();
    const std::string source = Path(*dir, "game.csw");
    const Bytes recording = RomCsw({tape[2], tape[3]});
    WriteFileBytes(source, recording);
    w->prompts.PlanFile(QString::fromStdString(source));
    w->Run("fileopen");
    QCOMPARE(w->state.project.blockCount(), 1);
    const std::size_t before = w->prompts.shown.size();
    const std::string path = Path(*dir, chosen.toStdString().c_str());
    w->prompts.PlanFile(QString::fromStdString(path));
    if (written) w->prompts.PlanAnswer(Answer::Yes).PlanAnswer(Answer::Ok);
    if (!written) w->prompts.PlanAnswer(Answer::Ok);
    w->Run(command.toStdString().c_str());
    QVERIFY(w->prompts.shown.size() > before);
    QVERIFY(w->prompts.shown[before].isDialog);
    QCOMPARE(ReadFileBytes(source), recording);
    QCOMPARE(std::filesystem::exists(path), written);
    if (written) {
      QCOMPARE(ReadFileBytes(path), Concat({tape[2], tape[3]}));
    } else {
      const ShownPrompt& failure = w->prompts.shown.back();
      QCOMPARE(failure.text, U("Проблемы с сохранением файла. Файл не сохранён."));
      QCOMPARE(failure.detail, U("форматы PZX и CSW программа только читает: выберите имя .tap или .tzx"));
      QCOMPARE(failure.icon, BoxIcon::Critical);
    }
  }

  // The export's options window proposes the last choice of the run; the
  // usual choice writes the usual file; Отмена writes nothing; a check
  // reports in a box.
  void testWavExport_data() {
    QTest::addColumn<WavExportChoice>("choice");
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("bits");
    QTest::addColumn<QString>("checkText");  // "" for no check
    QTest::newRow("usual: today's file") << WavExportChoice{} << false << 22050 << 8 << "";
    QTest::newRow("Отмена: nothing written") << WavExportChoice{} << true << 0 << 0 << "";
    QTest::newRow("44100, 16 bits, checked")
        << MakeChoice(44100, 16, false, false, true) << false << 44100 << 16
        << U("Проверка пройдена: все блоки (4) прочитаны из файла байт в байт.");
    QTest::newRow("48000, inverted, ROM timings, checked")
        << MakeChoice(48000, 8, true, true, true) << false << 48000 << 8
        << U("Проверка пройдена: все блоки (4) прочитаны из файла байт в байт.");
  }
  void testWavExport() {
    QFETCH(WavExportChoice, choice);
    QFETCH(bool, cancelled);
    QFETCH(int, rate);
    QFETCH(int, bits);
    QFETCH(QString, checkText);
    w->SetBlocks(SampleBlocks());
    const std::string path = Path(*dir, "tape.wav");
    w->prompts.PlanFile(QString::fromStdString(path));
    w->prompts.PlanWavExport(cancelled ? std::nullopt : std::optional(choice));
    if (!checkText.isEmpty()) w->prompts.PlanAnswer(Answer::Ok);
    w->Run("filesavewav");

    QCOMPARE(w->prompts.wavProposals, std::vector<WavExportChoice>{WavExportChoice{}});
    if (cancelled) {
      QVERIFY(!std::filesystem::exists(path));
      return;
    }
    const Bytes written = ReadFileBytes(path);
    QVERIFY(written.size() > 44);
    QCOMPARE(int(written[24] | written[25] << 8 | written[26] << 16), rate);
    QCOMPARE(int(written[34]), bits);
    if (choice == WavExportChoice{}) {
      // Byte for byte what the export has always written.
      const std::string usual = Path(*dir, "usual.wav");
      TapeProject project;
      project.blocks = SampleBlocks();
      NullProgress quiet;
      QVERIFY(SaveWavFile(project, usual, quiet).ok());
      QCOMPARE(written, ReadFileBytes(usual));
    }
    if (checkText.isEmpty()) {
      QCOMPARE(w->prompts.Summaries(), QStringList{U("dialog Сохранить проект в WAV-файл")});
    } else {
      QCOMPARE(w->prompts.Summaries(),
               (QStringList{U("dialog Сохранить проект в WAV-файл"), U("box Проверка WAV-файла")}));
      QCOMPARE(w->prompts.shown[1].text, checkText);
      QCOMPARE(w->prompts.shown[1].icon, BoxIcon::Information);
    }

    // The next export proposes this choice.
    w->prompts.PlanFile("");
    w->Run("filesavewav");
    w->prompts.PlanFile(QString::fromStdString(Path(*dir, "again.wav")));
    if (!checkText.isEmpty()) w->prompts.PlanAnswer(Answer::Ok);
    w->Run("filesavewav");
    QCOMPARE(w->prompts.wavProposals.back(), choice);
  }

  // The window itself: it shows the proposal, gives back what the controls
  // show, puts back the usual choice, and stands in the usual rate or size
  // for one it does not offer.
  void testOptionsWindow_data() {
    QTest::addColumn<WavExportChoice>("proposed");
    QTest::addColumn<WavExportChoice>("shown");
    QTest::addColumn<WavExportChoice>("chosen");
    QTest::newRow("usual, then everything changed")
        << WavExportChoice{} << WavExportChoice{} << MakeChoice(48000, 16, true, true, true);
    QTest::newRow("a choice, then back to one thing")
        << MakeChoice(44100, 16, true, false, true) << MakeChoice(44100, 16, true, false, true)
        << MakeChoice(44100, 8, true, false, true);
    QTest::newRow("a rate and size not offered")
        << MakeChoice(11025, 24, false, true, false) << MakeChoice(22050, 8, false, true, false)
        << MakeChoice(22050, 8, false, true, false);
  }
  void testOptionsWindow() {
    QFETCH(WavExportChoice, proposed);
    QFETCH(WavExportChoice, shown);
    QFETCH(WavExportChoice, chosen);
    WavOptionsWindow window(proposed);
    window.show();
    QCOMPARE(window.choice(), shown);
    Choose(window, chosen);
    QCOMPARE(window.choice(), chosen);
    QTest::mouseClick(window.findChild<QPushButton*>("Usual"), Qt::LeftButton);
    QCOMPARE(window.choice(), WavExportChoice{});
  }

  // Through the program's real prompts: Записать gives the choice, Escape
  // gives nothing.
  void testOptionsWindowAnswers_data() {
    QTest::addColumn<bool>("write");
    QTest::newRow("Записать") << true;
    QTest::newRow("Escape") << false;
  }
  void testOptionsWindowAnswers() {
    QFETCH(bool, write);
    const WavExportChoice chosen = MakeChoice(44100, 16, false, true, true);
    QtPrompts prompts;
    bool found = false;
    QTimer::singleShot(50, [&] {
      auto* window = qobject_cast<WavOptionsWindow*>(QApplication::activeModalWidget());
      if (!window) return;
      found = true;
      QCOMPARE(window->windowTitle(), U("Параметры WAV-файла"));
      Choose(*window, chosen);
      if (write) {
        QTest::mouseClick(window->findChild<QPushButton*>("Write"), Qt::LeftButton);
      } else {
        QTest::keyClick(window, Qt::Key_Escape);
      }
    });
    QTimer::singleShot(3000, [] {
      if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    const std::optional<WavExportChoice> answer = prompts.ChooseWavExport({});
    QVERIFY(found);
    QCOMPARE(answer.has_value(), write);
    if (write) QCOMPARE(*answer, chosen);
  }
};

REELO_UI_TEST_MAIN(TestTapeFiles)
#include "tape_files_test.moc"
