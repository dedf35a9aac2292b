// The program's message boxes and file dialogs, built from Qt's own widgets.
#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <memory>

#include "ui/prompts.h"

class QFileDialog;
class QMessageBox;

namespace reelo {

class DesktopMemory;

class QtPrompts final : public Prompts {
 public:
  explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
  // The window the boxes and dialogs are shown over.
  void setParentWidget(QWidget* parent) { parent_ = parent; }
  // Where the file dialogs remember their last folder; without it each one
  // starts in the current folder.
  void setMemory(DesktopMemory* memory) { memory_ = memory; }

  Answer Ask(const MessageSpec& box) override;
  QString ChooseFile(const FileDialogSpec& dialog) override;
  QString ChooseFileAndType(const FileDialogSpec& dialog, int& type) override;
  std::optional<QString> AskText(const TextRequest& request) override;
  std::optional<WavExportChoice> ChooseWavExport(const WavExportChoice& proposed) override;

 private:
  QPointer<QWidget> parent_;
  DesktopMemory* memory_ = nullptr;
};

// The box as Ask shows it (used for screenshots too).
std::unique_ptr<QMessageBox> BuildMessageBox(const MessageSpec& box, QWidget* parent);
// The dialog as ChooseFile shows it: Qt's own dialog, no default suffix, no
// overwrite question of its own (the commands ask theirs). It opens in
// `folder` when that is given.
std::unique_ptr<QFileDialog> BuildFileDialog(const FileDialogSpec& dialog, QWidget* parent,
                                             const QString& folder = {});

// "description|pattern|..." as Qt's name filters: "description (patterns)".
// "*.*" stands for every file, as it does on the system the filters come from.
QStringList QtNameFilters(const QString& pairs);

}  // namespace reelo
