// Where the prepared copies of recordings live and how they are cleared away,
// and the texts the load-from-WAV window builds for its new lines.
#include <unistd.h>

#include <set>

#include "import_window_support.h"
#include "ui/import/import_texts.h"
#include "ui/import/prepared_file.h"

using namespace reelo;
using namespace reelo::testing;

namespace {
namespace fs = std::filesystem;
}  // namespace

class TestPreparedFile : public QObject {
  Q_OBJECT

 private slots:
  // At start only the folders of processes that no longer run go, with what
  // is in them; anything else in the cache folder stays.
  void testLeftoversAtStart() {
    TempDir dir;
    const long self = static_cast<long>(getpid());
    const std::set<long> running = {4242, 77};
    struct Entry {
      std::string name;
      bool folder;
      bool stays;
    };
    const std::vector<Entry> entries = {
        {"prepared-4242", true, true},                           // another copy of the program, running
        {"prepared-99999", true, false},                         // a run that crashed
        {"prepared-" + std::to_string(self), true, false},       // an earlier run under this very id
        {"prepared-123", false, true},                           // a plain file of that name
        {"prepared-12x", true, true},                            // not a process id
        {"prepared-", true, true},
        {"prepared-0", true, true},
        {"thumbnails", true, true},
    };
    for (const Entry& entry : entries) {
      if (entry.folder) {
        fs::create_directories(dir / entry.name / ".reelo-save-abc");
        WriteFileBytes(dir / entry.name / "recording.wav", {1, 2, 3});
      } else {
        WriteFileBytes(dir / entry.name, {1});
      }
    }
    // A link to a dead process's name must not lead the removal elsewhere.
    fs::create_directories(dir / "elsewhere");
    WriteFileBytes(dir / "elsewhere" / "keep.wav", {1});
    fs::create_directory_symlink(dir / "elsewhere", dir / "prepared-99998");

    const int removed = RemoveLeftoverPreparedFolders(dir.path().string(), [&](long pid) { return running.count(pid) > 0; });
    QCOMPARE(removed, 2);
    for (const Entry& entry : entries) QVERIFY2(fs::exists(dir / entry.name) == entry.stays, entry.name.c_str());
    QVERIFY(fs::exists(dir / "elsewhere" / "keep.wav"));
    QCOMPARE(RemoveLeftoverPreparedFolders((dir / "missing").string()), 0);
  }

  // The copy's place: made on demand in this process's folder, refused with
  // the folder's name where it cannot be made, and gone with its folder.
  void testCopyPlace() {
    TempDir dir;
    {
      PreparedRecording prepared(dir.path().string());
      std::string path;
      QVERIFY(prepared.Reserve(path).ok());
      QCOMPARE(fs::path(path).parent_path(), fs::path(PreparedFolder(dir.path().string(), getpid())));
      WriteFileBytes(path, {1});
      const SourceStamp source{"/x.wav", 10, 20};
      QVERIFY(!prepared.Holds(source, {}));
      prepared.Remember(source, {});
      QVERIFY(prepared.Holds(source, {}));
      QVERIFY(!prepared.Holds(source, {false, ChannelChoice::Auto}));
      QVERIFY(!prepared.Holds({"/x.wav", 11, 20}, {}));
      fs::remove(path);
      QVERIFY(!prepared.Holds(source, {}));
      WriteFileBytes(path, {1});
    }
    QVERIFY(fs::is_empty(dir.path()));

    WriteFileBytes(dir / "file", {1});
    PreparedRecording blocked((dir / "file" / "cache").string());
    std::string path;
    const OpResult result = blocked.Reserve(path);
    QVERIFY(!result.ok());
    QVERIFY(U(result.message.c_str()).startsWith(U("Не удалось создать папку для подготовленной записи ")));
    QVERIFY(!result.detail.empty());
  }

  void testDurationText_data() {
    QTest::addColumn<qint64>("frames");
    QTest::addColumn<int>("rate");
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing") << qint64{0} << 44100 << "0:00";
    QTest::newRow("just under a second") << qint64{44099} << 44100 << "0:00";
    QTest::newRow("seven seconds") << qint64{7 * 22050} << 22050 << "0:07";
    QTest::newRow("two and a half minutes") << qint64{151 * 48000} << 48000 << "2:31";
    QTest::newRow("an hour and a bit") << qint64{3723} * 44100 << 44100 << "1:02:03";
    QTest::newRow("ten hours") << qint64{36000} * 384000 << 384000 << "10:00:00";
    QTest::newRow("no rate") << qint64{100} << 0 << "";
  }
  void testDurationText() {
    QFETCH(qint64, frames);
    QFETCH(int, rate);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(DurationText(frames, rate)), text);
  }
};

REELO_UI_TEST_MAIN(TestPreparedFile)
#include "prepared_file_test.moc"
