#include "scripted_prompts.h"

#include <QTest>

namespace reelo::testing {

QString ShownPrompt::Summary() const {
  if (isText) return QStringLiteral("text ") + title;
  return (isDialog ? QStringLiteral("dialog ") : QStringLiteral("box ")) + title;
}

ScriptedPrompts& ScriptedPrompts::PlanAnswer(Answer answer) {
  script_.push_back({Kind::Box, answer, {}});
  return *this;
}

ScriptedPrompts& ScriptedPrompts::PlanFile(const QString& path) { return PlanFile(path, 0); }

ScriptedPrompts& ScriptedPrompts::PlanFile(const QString& path, int type) {
  script_.push_back({Kind::Dialog, Answer::Cancel, path, type});
  return *this;
}

ScriptedPrompts& ScriptedPrompts::PlanText(std::optional<QString> text) {
  script_.push_back({Kind::Text, Answer::Cancel, text.value_or(QString()), 0, !text.has_value()});
  return *this;
}

bool ScriptedPrompts::TakeStep(Kind kind, const QString& what, Step& step) {
  if (script_.empty() || script_.front().kind != kind) {
    static const char* const kNames[] = {"message box", "file dialog", "text request"};
    const QString message = QStringLiteral("unplanned %1: %2").arg(kNames[int(kind)], what);
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
  if (!TakeStep(Kind::Box, box.text, step)) return box.buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
  return step.answer;
}

QString ScriptedPrompts::ChooseFile(const FileDialogSpec& dialog) {
  int type = 0;
  return ChooseFileAndType(dialog, type);
}

QString ScriptedPrompts::ChooseFileAndType(const FileDialogSpec& dialog, int& type) {
  ShownPrompt shownDialog;
  shownDialog.isDialog = true;
  shownDialog.title = dialog.title;
  shownDialog.dialogKind = dialog.kind;
  shownDialog.filter = dialog.filter;
  shown.push_back(shownDialog);
  Step step;
  if (!TakeStep(Kind::Dialog, dialog.title, step)) return {};
  type = step.type;
  return step.file;
}

std::optional<QString> ScriptedPrompts::AskText(const TextRequest& request) {
  ShownPrompt shownText;
  shownText.isText = true;
  shownText.title = BoxTitle(request.title);
  shownText.text = request.label;
  shownText.detail = request.initial;
  shown.push_back(shownText);
  Step step;
  if (!TakeStep(Kind::Text, request.label, step) || step.cancelled) return std::nullopt;
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
  for (const Step& step : script_) {
    switch (step.kind) {
      case Kind::Box: left << QStringLiteral("box"); break;
      case Kind::Dialog: left << QStringLiteral("dialog -> ") + step.file; break;
      case Kind::Text: left << QStringLiteral("text -> ") + step.file; break;
    }
  }
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
