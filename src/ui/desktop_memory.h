// What the program remembers between runs, as a desktop program does: the
// recent files, the last folder of each kind of file dialog, the size and
// place of its windows and the WAV export's options. Everything lives in the user's QSettings (named by the
// organisation and application names the program sets at start); each call
// reads or writes it at once, so two running copies see each other's changes.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

#include "ui/prompts.h"

namespace reelo {

// The recent-files list holds at most this many paths, newest first.
inline constexpr int kMaxRecentFiles = 8;

class DesktopMemory {
 public:
  // Newest first, at most kMaxRecentFiles, no path twice.
  QStringList RecentFiles() const;
  // Puts `path` (made absolute and clean) at the top, dropping the oldest.
  void NoteRecentFile(const QString& path);
  void ForgetRecentFile(const QString& path);
  void ClearRecentFiles();

  // The folder the dialogs for files of `kind` last went to; empty when none
  // was remembered or it has gone since.
  QString Folder(const QString& kind) const;
  // Remembers the folder of a path a dialog returned.
  void NoteChosenFile(const QString& kind, const QString& path);

  // The saved geometry of a window by its object name; empty when none.
  QByteArray WindowPlace(const QString& window) const;
  void SetWindowPlace(const QString& window, const QByteArray& geometry);

  // The WAV export's options last written with; nothing when none were
  // remembered or what is stored is not a set the export can write.
  std::optional<WavExportChoice> WavChoice() const;
  void SetWavChoice(const WavExportChoice& choice);
};

// The kind of files a dialog filter deals with, as the key of its remembered
// folder: the first extension of its first pattern ("Образ ленты
// (*.tap)|*.tap|..." gives "tap"), so opening, adding and saving tapes share
// one folder, and exporting and importing sound another.
QString FolderKindOfFilter(const QString& filter);

// Watches the program's top-level windows named in `windows` (by object
// name): each opens at the size and place it had when last closed, in this
// run or an earlier one. Install on the application.
class WindowPlaces final : public QObject {
 public:
  WindowPlaces(DesktopMemory& memory, QStringList windows, QObject* parent = nullptr);
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  DesktopMemory& memory_;
  QSet<QString> windows_;
};

// The windows whose size and place are remembered: the main window, the three
// text viewers, the screen picture and the help window.
QStringList RememberedWindows();

}  // namespace reelo
