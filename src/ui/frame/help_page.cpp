#include "ui/frame/help_page.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace reelo {

QStringList HelpFolders() {
  const QString programFolder = QCoreApplication::applicationDirPath();
  return {QDir::currentPath(), programFolder,
          QDir::cleanPath(QDir(programFolder).filePath(QStringLiteral(REELO_DATA_FROM_BIN)))};
}

QUrl HelpPageUrl(const QStringList& folders) {
  const QString page = QString::fromLatin1(kHelpPagePath);
  for (const QString& folder : folders) {
    const QString path = QDir(folder).filePath(page);
    if (QFileInfo(path).isFile()) return QUrl::fromLocalFile(QDir::cleanPath(path));
  }
  const QString first = folders.isEmpty() ? QDir::currentPath() : folders.front();
  return QUrl::fromLocalFile(QDir::cleanPath(QDir(first).absoluteFilePath(page)));
}

void OpenHelpPage(const UrlOpener& open) {
  const QUrl page = HelpPageUrl(HelpFolders());
  if (open) {
    open(page);
  } else {
    QDesktopServices::openUrl(page);
  }
}

}  // namespace reelo
