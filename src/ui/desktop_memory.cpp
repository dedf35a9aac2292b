#include "ui/desktop_memory.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QSettings>
#include <QWidget>

#include "sound/export/signal_stream.h"

namespace reelo {
namespace {

constexpr const char* kRecentFilesKey = "recentFiles";
constexpr const char* kFoldersGroup = "folders";
constexpr const char* kWindowsGroup = "windows";
constexpr const char* kWavGroup = "wavExport";
constexpr const char* kWavRateKey = "sampleRate";
constexpr const char* kWavBitsKey = "bitsPerSample";
constexpr const char* kWavInvertedKey = "inverted";
constexpr const char* kWavRomTimingsKey = "romTimings";
constexpr const char* kWavVerifyKey = "verify";

// A number or a yes/no as stored; nothing when the value is missing or of
// another kind (a hand edit, a damaged file).
std::optional<int> StoredInt(const QSettings& settings, const char* key) {
  bool ok = false;
  const int value = settings.value(key).toString().toInt(&ok);
  return ok ? std::optional<int>(value) : std::nullopt;
}

std::optional<bool> StoredBool(const QSettings& settings, const char* key) {
  const QString text = settings.value(key).toString();
  if (text == QLatin1String("true")) return true;
  if (text == QLatin1String("false")) return false;
  return std::nullopt;
}

QString CleanAbsolute(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

void WriteRecentFiles(const QStringList& files) { QSettings().setValue(kRecentFilesKey, files); }

// A key QSettings keeps as it is: letters and digits only.
QString SafeKey(const QString& key) {
  QString out;
  for (const QChar c : key) {
    if (c.isLetterOrNumber()) out += c.toLower();
  }
  return out.isEmpty() ? QStringLiteral("any") : out;
}

}  // namespace

QStringList DesktopMemory::RecentFiles() const {
  QStringList files;
  // Whatever an older version or a hand edit left there: no empty entries, no
  // repeats, no more than the list holds.
  for (const QString& file : QSettings().value(kRecentFilesKey).toStringList()) {
    if (!file.isEmpty() && !files.contains(file)) files << file;
    if (files.size() == kMaxRecentFiles) break;
  }
  return files;
}

void DesktopMemory::NoteRecentFile(const QString& path) {
  if (path.isEmpty()) return;
  const QString file = CleanAbsolute(path);
  QStringList files = RecentFiles();
  files.removeAll(file);
  files.prepend(file);
  while (files.size() > kMaxRecentFiles) files.removeLast();
  WriteRecentFiles(files);
}

void DesktopMemory::ForgetRecentFile(const QString& path) {
  QStringList files = RecentFiles();
  files.removeAll(path);
  files.removeAll(CleanAbsolute(path));
  WriteRecentFiles(files);
}

void DesktopMemory::ClearRecentFiles() { QSettings().remove(kRecentFilesKey); }

QString DesktopMemory::Folder(const QString& kind) const {
  QSettings settings;
  settings.beginGroup(kFoldersGroup);
  const QString folder = settings.value(SafeKey(kind)).toString();
  return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void DesktopMemory::NoteChosenFile(const QString& kind, const QString& path) {
  if (path.isEmpty()) return;
  QSettings settings;
  settings.beginGroup(kFoldersGroup);
  settings.setValue(SafeKey(kind), QFileInfo(CleanAbsolute(path)).absolutePath());
}

QByteArray DesktopMemory::WindowPlace(const QString& window) const {
  QSettings settings;
  settings.beginGroup(kWindowsGroup);
  return settings.value(window).toByteArray();
}

void DesktopMemory::SetWindowPlace(const QString& window, const QByteArray& geometry) {
  QSettings settings;
  settings.beginGroup(kWindowsGroup);
  settings.setValue(window, geometry);
}

std::optional<WavExportChoice> DesktopMemory::WavChoice() const {
  QSettings settings;
  settings.beginGroup(kWavGroup);
  const std::optional<int> rate = StoredInt(settings, kWavRateKey), bits = StoredInt(settings, kWavBitsKey);
  const std::optional<bool> inverted = StoredBool(settings, kWavInvertedKey);
  const std::optional<bool> rom = StoredBool(settings, kWavRomTimingsKey), verify = StoredBool(settings, kWavVerifyKey);
  if (!rate || !bits || !inverted || !rom || !verify) return std::nullopt;
  WavExportChoice choice;
  choice.signal.sampleRate = *rate;
  choice.signal.bitsPerSample = *bits;
  choice.signal.inverted = *inverted;
  choice.signal.timings = *rom ? SignalTimings::Rom : SignalTimings::Exact;
  choice.verify = *verify;
  if (!IsValid(choice.signal)) return std::nullopt;
  return choice;
}

void DesktopMemory::SetWavChoice(const WavExportChoice& choice) {
  QSettings settings;
  settings.beginGroup(kWavGroup);
  settings.setValue(kWavRateKey, choice.signal.sampleRate);
  settings.setValue(kWavBitsKey, choice.signal.bitsPerSample);
  settings.setValue(kWavInvertedKey, choice.signal.inverted);
  settings.setValue(kWavRomTimingsKey, choice.signal.timings == SignalTimings::Rom);
  settings.setValue(kWavVerifyKey, choice.verify);
}

QString FolderKindOfFilter(const QString& filter) {
  const QStringList parts = filter.split(u'|');
  if (parts.size() < 2) return SafeKey({});
  QString pattern = parts[1].split(u';').first().trimmed();
  const qsizetype dot = pattern.lastIndexOf(u'.');
  if (dot >= 0) pattern = pattern.mid(dot + 1);
  return SafeKey(pattern);
}

WindowPlaces::WindowPlaces(DesktopMemory& memory, QStringList windows, QObject* parent)
    : QObject(parent), memory_(memory), windows_(windows.begin(), windows.end()) {}

// A window's Show event comes before the window system maps it, so the
// remembered place is taken before the window appears anywhere else. The
// place is kept when the program hides the window (closing it); hides the
// window system makes (minimising) are not a new place.
bool WindowPlaces::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::Show && type != QEvent::Hide) return false;
  auto* window = qobject_cast<QWidget*>(watched);
  if (!window || !window->isWindow() || event->spontaneous() || !windows_.contains(window->objectName())) {
    return false;
  }
  if (type == QEvent::Show) {
    const QByteArray place = memory_.WindowPlace(window->objectName());
    if (!place.isEmpty()) window->restoreGeometry(place);
  } else {
    memory_.SetWindowPlace(window->objectName(), window->saveGeometry());
  }
  return false;
}

QStringList RememberedWindows() {
  return {QStringLiteral("Form1"), QStringLiteral("Form2"), QStringLiteral("Form3"), QStringLiteral("Form6"),
          QStringLiteral("Form7"), QStringLiteral("HelpWindow")};
}

}  // namespace reelo
