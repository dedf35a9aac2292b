#include "scripted_prompts.h"

#include <QTest>

namespace reelo::testing {

QString ShownPrompt::Summary() const { return (isDialog ? QStringLiteral("dialog ") : QStringLiteral("box ")) + title; }

ScriptedPrompts& ScriptedPrompts::PlanAnswer(Answer answer) {
  script_.push_back({false, answer, {}});
  return *this;
}

ScriptedPrompts& ScriptedPrompts::PlanFile(const QString& path) {
  script_.push_back({true, Answer::Cancel, path});
  return *this;
}

bool ScriptedPrompts::TakeStep(bool isDialog, const QString& what, Step& step) {
  if (script_.empty() || script_.front().isDialog != isDialog) {
    const QString message = QStringLiteral("unplanned %1: %2").arg(isDialog ? "file dialog" : "message box", what);
    QTest::qFail(qPrintable(message), __FILE__, __LINE__);
    return false;
  }
  step = script_.front();
  script_.pop_front();
  return true;
}

Answer ScriptedPrompts::Ask(const MessageSpec& box) {
  ShownPrompt shownBox;
  shownBox.text = box.text;
  shownBox.title = BoxTitle(box.title);
  shownBox.buttons = box.buttons;
  shownBox.icon = box.icon;
  shownBox.detail = box.detail;
  shown.push_back(shownBox);
  if (onBox) onBox(shownBox);
  Step step;
  // An unplanned box gets the most harmless answer.
  if (!TakeStep(false, box.text, step)) return box.buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
  return step.answer;
}

QString ScriptedPrompts::ChooseFile(const FileDialogSpec& dialog) {
  ShownPrompt shownDialog;
  shownDialog.isDialog = true;
  shownDialog.title = dialog.title;
  shownDialog.dialogKind = dialog.kind;
  shownDialog.filter = dialog.filter;
  shown.push_back(shownDialog);
  Step step;
  if (!TakeStep(true, dialog.title, step)) return {};
  return step.file;
}

ScriptedPrompts& ScriptedPrompts::PlanWavExport(std::optional<WavExportChoice> choice) {
  wavChoices_.push_back(choice);
  return *this;
}

std::optional<WavExportChoice> ScriptedPrompts::ChooseWavExport(const WavExportChoice& proposed) {
  wavProposals.push_back(proposed);
  if (wavChoices_.empty()) return proposed;
  const std::optional<WavExportChoice> choice = wavChoices_.front();
  wavChoices_.pop_front();
  return choice;
}

QString ScriptedPrompts::Unused() const {
  QStringList left;
  for (const Step& step : script_) left << (step.isDialog ? QStringLiteral("dialog -> ") + step.file : QStringLiteral("box"));
  for (std::size_t i = 0; i < wavChoices_.size(); ++i) left << QStringLiteral("WAV options");
  return left.join(QStringLiteral(", "));
}

QStringList ScriptedPrompts::Summaries() const {
  QStringList out;
  for (const ShownPrompt& p : shown) out << p.Summary();
  return out;
}

void ScriptedPrompts::Clear() {
  script_.clear();
  wavChoices_.clear();
  shown.clear();
  wavProposals.clear();
  onBox = nullptr;
}

}  // namespace reelo::testing
