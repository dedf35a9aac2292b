// A Prompts that follows a script: each box and dialog the program shows must
// be the next planned step, gets the planned answer, and is recorded. A box or
// dialog nobody planned fails the running test.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "ui/prompts.h"

namespace reelo::testing {

struct ShownPrompt {
  bool isDialog = false;
  QString text;   // boxes
  QString title;  // as shown: a box without a title of its own shows "Reelo"
  Buttons buttons = Buttons::Ok;
  BoxIcon icon = BoxIcon::None;
  QString detail;
  FileDialogKind dialogKind = FileDialogKind::Open;
  QString filter;

  // "box <title>" or "dialog <title>", for comparing sequences.
  QString Summary() const;
};

class ScriptedPrompts final : public Prompts {
 public:
  // The answer to the next box.
  ScriptedPrompts& PlanAnswer(Answer answer);
  // The path the next file dialog returns ("" for a cancelled dialog).
  ScriptedPrompts& PlanFile(const QString& path);

  // The choice the next WAV options window returns (nothing: cancelled).
  // Unplanned, the window takes what it proposes, as with no window at all.
  ScriptedPrompts& PlanWavExport(std::optional<WavExportChoice> choice);

  Answer Ask(const MessageSpec& box) override;
  QString ChooseFile(const FileDialogSpec& dialog) override;
  std::optional<WavExportChoice> ChooseWavExport(const WavExportChoice& proposed) override;

  // Steps planned but never reached, for the test's clean-up to report.
  QString Unused() const;
  QStringList Summaries() const;
  void Clear();

  std::vector<ShownPrompt> shown;
  // What each WAV options window proposed, in order.
  std::vector<WavExportChoice> wavProposals;
  // Runs when a box appears, before it is answered.
  std::function<void(const ShownPrompt&)> onBox;

 private:
  struct Step {
    bool isDialog;
    Answer answer;
    QString file;
  };
  bool TakeStep(bool isDialog, const QString& what, Step& step);

  std::deque<Step> script_;
  std::deque<std::optional<WavExportChoice>> wavChoices_;
};

}  // namespace reelo::testing
