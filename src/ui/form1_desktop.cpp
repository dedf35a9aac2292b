// What the main window does as a desktop program: files from the command line
// and from drops, and the "Последние файлы" submenu of the "Файл" menu.
#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QTimer>

#include "formats/tape_file.h"
#include "ui/desktop_memory.h"
#include "ui/file_names.h"
#include "ui/form1.h"
#include "playback_qt/tape_deck.h"
#include "ui/form9_progress.h"

namespace reelo {
namespace {

constexpr const char* kRecentMenuName = "recentmenu";
constexpr const char* kRecentMenuCaption = "Последние файлы";
constexpr const char* kRecentClearName = "recentclear";
constexpr const char* kRecentClearCaption = "Очистить список";
constexpr const char* kRecentMissingText = "Файл не найден:\n%1\n\nОн убран из списка последних файлов.";
constexpr const char* kRecentMissingTitle = "Последние файлы";

// The local files a drag carries, in its order; links to anything else (web
// pages, mail) are not files the program can read.
QStringList DroppedFiles(const QMimeData* data) {
  QStringList files;
  if (!data || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile() && !url.toLocalFile().isEmpty()) files << url.toLocalFile();
  }
  return files;
}

// "&3 /home/user/tapes/game.tap": the number is the item's key; an "&" of
// the path is doubled so it shows as itself.
QString RecentItemText(int index, const QString& path) {
  QString shown = QDir::toNativeSeparators(path);
  shown.replace(u'&', QStringLiteral("&&"));
  return QStringLiteral("&%1 %2").arg(index + 1).arg(shown);
}

}  // namespace

void Form1::UseDesktopMemory(DesktopMemory* memory) {
  memory_ = memory;
  if (!memory_ || recentMenu_) return;
  auto* fileMenu = findChild<QMenu*>(QStringLiteral("filemenu"));
  auto* open = findChild<QAction*>(QStringLiteral("fileopen"));
  if (!fileMenu || !open) return;
  recentMenu_ = new QMenu(QString::fromUtf8(kRecentMenuCaption), fileMenu);
  recentMenu_->setObjectName(QString::fromLatin1(kRecentMenuName));
  // Right under "Открыть...", where a person looks for it.
  const QList<QAction*> items = fileMenu->actions();
  const qsizetype at = items.indexOf(open);
  QAction* before = at >= 0 && at + 1 < items.size() ? items[at + 1] : nullptr;
  fileMenu->insertMenu(before, recentMenu_);
  // Another running copy may have changed the list since.
  connect(fileMenu, &QMenu::aboutToShow, this, &Form1::RebuildRecentMenu);
  RebuildRecentMenu();
}

void Form1::NoteRecentFile(const std::string& path) {
  if (!memory_) return;
  memory_->NoteRecentFile(FromLocalPath(path));
  RebuildRecentMenu();
}

void Form1::RebuildRecentMenu() {
  if (!recentMenu_ || !memory_) return;
  recentMenu_->clear();
  const QStringList files = memory_->RecentFiles();
  for (int i = 0; i < files.size(); ++i) {
    QAction* item = recentMenu_->addAction(RecentItemText(i, files[i]));
    item->setObjectName(QStringLiteral("recentfile%1").arg(i + 1));
    item->setData(files[i]);
    const QString path = files[i];
    connect(item, &QAction::triggered, this, [this, path] { OpenRecentFile(path); });
  }
  recentMenu_->addSeparator();
  QAction* clear = recentMenu_->addAction(QString::fromUtf8(kRecentClearCaption));
  clear->setObjectName(QString::fromLatin1(kRecentClearName));
  connect(clear, &QAction::triggered, this, [this] {
    memory_->ClearRecentFiles();
    RebuildRecentMenu();
  });
  recentMenu_->setEnabled(!files.isEmpty());
}

// A file that has gone since is said so and leaves the list, before anything
// is asked: there is nothing to open, so the project stays as it is.
void Form1::OpenRecentFile(const QString& path) {
  if (!QFileInfo(path).isFile()) {
    memory_->ForgetRecentFile(path);
    RebuildRecentMenu();
    ShowBox(QString::fromUtf8(kRecentMissingText).arg(QDir::toNativeSeparators(path)).toStdString(),
            kRecentMissingTitle, Buttons::Ok, BoxIcon::Warning);
    return;
  }
  OpenFiles({path}, false);
}

void Form1::OpenFiles(const QStringList& paths, bool addOnly) {
  if (paths.isEmpty()) return;
  // The deck reads the blocks as it plays: files dropped or chosen from the
  // recent list stop it before they change the project.
  deck().Stop();
  qsizetype next = 0;
  if (!addOnly && !OpenChosenFile(ToLocalPath(paths[next++]))) return;
  for (; next < paths.size(); ++next) AddChosenFile(ToLocalPath(paths[next]));
}

// The project keeps its own file name: an added file is a source, not the
// place the project is saved to.
bool Form1::AddChosenFile(const std::string& path) {
  const EditResult added = state_.document.Append(ReadTapeFile(path, state_.project.freeSlots(), *progress_));
  // The list is made anew whatever the outcome, as it always has been.
  if (!added.changed) RefreshBlockList();
  ShowEdit(added);
  return added.status.ok();
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
  if (!progress_->active() && !DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void Form1::dragMoveEvent(QDragMoveEvent* event) {
  if (!progress_->active() && !DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

// The files are opened once the drop has ended: the program that started the
// drag is not kept waiting while the save question or a load is on screen.
void Form1::dropEvent(QDropEvent* event) {
  const QStringList files = DroppedFiles(event->mimeData());
  if (files.isEmpty() || progress_->active()) return;
  const bool add = event->modifiers().testFlag(Qt::ControlModifier);
  event->acceptProposedAction();
  QTimer::singleShot(0, this, [this, files, add] { OpenFiles(files, add); });
}

}  // namespace reelo
