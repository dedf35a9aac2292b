#include "ui/qt_prompts.h"

#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QInputDialog>
#include <QLocale>
#include <algorithm>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>

#include "ui/desktop_memory.h"
#include "ui/wav_options_window.h"

namespace reelo {
namespace {

constexpr QChar kFilterSeparator = u'|';

// The file dialog's columns that the file system model writes in the system's
// locale, whatever the program's language.
constexpr int kNameColumn = 0;
constexpr int kSizeColumn = 1;
constexpr int kTypeColumn = 2;
constexpr int kDateColumn = 3;
constexpr int kBytesPerUnit = 1024;
// Room for the file list's four columns and the longest file type's name.
constexpr int kFileDialogWidth = 760;
constexpr int kFileDialogHeight = 440;
constexpr const char* kSizeUnits[] = {"байт", "КБ", "МБ", "ГБ", "ТБ"};

// "512 байт", "1,5 КБ", "700,0 МБ".
QString FileSizeText(qint64 bytes) {
  if (bytes < kBytesPerUnit) return QStringLiteral("%1 %2").arg(bytes).arg(QString::fromUtf8(kSizeUnits[0]));
  double value = static_cast<double>(bytes);
  std::size_t unit = 0;
  while (value >= kBytesPerUnit && unit + 1 < std::size(kSizeUnits)) {
    value /= kBytesPerUnit;
    ++unit;
  }
  return QLocale().toString(value, 'f', 1) + u' ' + QString::fromUtf8(kSizeUnits[unit]);
}

// Shows the sizes and dates of the file dialog's list in the program's
// locale (Russian), as its other texts are.
class LocalisedFileColumns final : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;
  QVariant data(const QModelIndex& index, int role) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files || (index.column() != kSizeColumn && index.column() != kDateColumn)) {
      return QIdentityProxyModel::data(index, role);
    }
    const QFileInfo info = files->fileInfo(mapToSource(index));
    if (index.column() == kDateColumn) return QLocale().toString(info.lastModified(), QLocale::ShortFormat);
    return info.isDir() ? QString() : FileSizeText(info.size());
  }
};

QMessageBox::Icon ToQtIcon(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::Information: return QMessageBox::Information;
    case BoxIcon::Warning: return QMessageBox::Warning;
    case BoxIcon::Critical: return QMessageBox::Critical;
    case BoxIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQtButtons(Buttons buttons) {
  switch (buttons) {
    case Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::Ok: break;
  }
  return QMessageBox::Ok;
}

// The answer for the button pressed; closing the box with Escape or its close
// box counts as the set's way out (Cancel, No or OK).
Answer ToAnswer(QMessageBox::StandardButton pressed, Buttons buttons) {
  switch (pressed) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Ok: return Answer::Ok;
    default: break;
  }
  switch (buttons) {
    case Buttons::YesNoCancel: return Answer::Cancel;
    case Buttons::YesNo: return Answer::No;
    case Buttons::Ok: break;
  }
  return Answer::Ok;
}

// "*.*" means every file where the filters come from; on this system it would
// hide names without a dot.
QString QtPatterns(const QString& pattern) {
  QStringList out;
  for (const QString& p : pattern.split(u';', Qt::SkipEmptyParts)) {
    const QString trimmed = p.trimmed();
    out << (trimmed == QStringLiteral("*.*") ? QStringLiteral("*") : trimmed);
  }
  return out.join(u' ');
}

// The description without a trailing "(pattern)" that repeats the pattern.
QString BareDescription(const QString& description, const QString& pattern) {
  const QString suffix = QStringLiteral("(") + pattern + QStringLiteral(")");
  QString bare = description;
  if (bare.endsWith(suffix)) bare.chop(suffix.size());
  return bare.trimmed();
}

// "Образ ленты TZX (*.tzx)" gives "tzx"; a filter of several patterns or of
// every file gives none.
QString ExtensionOfFilter(const QString& nameFilter) {
  const qsizetype open = nameFilter.lastIndexOf(u'(');
  const QString patterns = nameFilter.mid(open + 1).chopped(nameFilter.endsWith(u')') ? 1 : 0).trimmed();
  if (open < 0 || patterns.contains(u' ') || !patterns.startsWith(QStringLiteral("*."))) return {};
  const QString extension = patterns.mid(2);
  return extension.contains(u'*') || extension.contains(u'?') ? QString() : extension;
}

}  // namespace

QStringList QtNameFilters(const QString& pairs) {
  const QStringList parts = pairs.split(kFilterSeparator);
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString pattern = parts[i + 1].trimmed();
    if (pattern.isEmpty()) continue;
    filters << BareDescription(parts[i], pattern) + QStringLiteral(" (") + QtPatterns(pattern) + QStringLiteral(")");
  }
  return filters;
}

std::unique_ptr<QMessageBox> BuildMessageBox(const MessageSpec& box, QWidget* parent) {
  auto dialog = std::make_unique<QMessageBox>(ToQtIcon(box.icon), BoxTitle(box.title), box.text,
                                              ToQtButtons(box.buttons), parent);
  dialog->setTextFormat(Qt::PlainText);
  if (!box.detail.isEmpty()) dialog->setInformativeText(box.detail);
  dialog->setDefaultButton(box.buttons == Buttons::Ok ? QMessageBox::Ok : QMessageBox::Yes);
  return dialog;
}

std::unique_ptr<QFileDialog> BuildFileDialog(const FileDialogSpec& request, QWidget* parent, const QString& folder) {
  auto dialog = std::make_unique<QFileDialog>(parent, request.title);
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setOption(QFileDialog::DontConfirmOverwrite);
  dialog->setProxyModel(new LocalisedFileColumns(dialog.get()));
  // Size, type and date as wide as their texts; the name takes the rest.
  if (auto* details = dialog->findChild<QTreeView*>(QStringLiteral("treeView"))) {
    details->header()->setStretchLastSection(false);
    details->header()->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
    for (int column : {kSizeColumn, kTypeColumn, kDateColumn}) {
      details->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
  }
  dialog->resize(std::max(dialog->width(), kFileDialogWidth), std::max(dialog->height(), kFileDialogHeight));
  const bool save = request.kind == FileDialogKind::Save;
  dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog->setDefaultSuffix(QString());
  dialog->setNameFilters(QtNameFilters(request.filter));
  if (save && request.extensionFromType) {
    QFileDialog* shown = dialog.get();
    const auto follow = [shown](const QString& nameFilter) { shown->setDefaultSuffix(ExtensionOfFilter(nameFilter)); };
    QObject::connect(shown, &QFileDialog::filterSelected, shown, follow);
    follow(shown->selectedNameFilter());
  }
  if (!folder.isEmpty()) dialog->setDirectory(folder);
  dialog->selectFile(QString());
  return dialog;
}

Answer QtPrompts::Ask(const MessageSpec& box) {
  auto dialog = BuildMessageBox(box, parent_);
  dialog->exec();
  return ToAnswer(dialog->standardButton(dialog->clickedButton()), box.buttons);
}

QString QtPrompts::ChooseFile(const FileDialogSpec& request) {
  int type = 0;
  return ChooseFileAndType(request, type);
}

QString QtPrompts::ChooseFileAndType(const FileDialogSpec& request, int& type) {
  // A kind of dialog with no folder of its own yet starts in the current
  // folder, not wherever a dialog of another kind went last.
  const QString kind = FolderKindOfFilter(request.filter);
  QString folder;
  if (memory_) folder = memory_->Folder(kind);
  if (memory_ && folder.isEmpty()) folder = QDir::currentPath();
  auto dialog = BuildFileDialog(request, parent_, folder);
  if (dialog->exec() != QDialog::Accepted) return {};
  type = std::max<qsizetype>(0, dialog->nameFilters().indexOf(dialog->selectedNameFilter()));
  const QStringList files = dialog->selectedFiles();
  if (files.isEmpty()) return {};
  if (memory_) memory_->NoteChosenFile(kind, files.first());
  return files.first();
}

// The options the last export of any run was written with come first; the
// choice made is remembered for the next one.
std::optional<WavExportChoice> QtPrompts::ChooseWavExport(const WavExportChoice& proposed) {
  const std::optional<WavExportChoice> remembered = memory_ ? memory_->WavChoice() : std::nullopt;
  WavOptionsWindow window(remembered.value_or(proposed), parent_);
  if (window.exec() != QDialog::Accepted) return std::nullopt;
  if (memory_) memory_->SetWavChoice(window.choice());
  return window.choice();
}

std::optional<QString> QtPrompts::AskText(const TextRequest& request) {
  bool ok = false;
  const QString text = QInputDialog::getText(parent_, BoxTitle(request.title), request.label, QLineEdit::Normal,
                                             request.initial, &ok);
  if (!ok) return std::nullopt;
  return text;
}

}  // namespace reelo
