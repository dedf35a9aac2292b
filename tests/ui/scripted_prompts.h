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
  bool isText = false;  // a text request (label in text, initial text in detail)
  QString text;   // boxes
  QString title;  // as shown: a box without a title of its own shows "Reelo"
  Buttons buttons = Buttons::Ok;
  BoxIcon icon = BoxIcon::None;
  QString detail;
  FileDialogKind dialogKind = FileDialogKind::Open;
  QString filter;

  // "box <title>", "dialog <title>" or "text <title>", for comparing sequences.
  QString Summary() const;
};

class ScriptedPrompts final : public Prompts {
 public:
  // The answer to the next box.
  ScriptedPrompts& PlanAnswer(Answer answer);
  // The path the next file dialog returns ("" for a cancelled dialog).
  ScriptedPrompts& PlanFile(const QString& path);
  // The path and the chosen filter pair (0 the first) of the next dialog.
  ScriptedPrompts& PlanFile(const QString& path, int type);
  // What the user types into the next text request; nothing: Cancel.
  ScriptedPrompts& PlanText(std::optional<QString> text);

  // The choice the next WAV options window returns (nothing: cancelled).
  // Unplanned, the window takes what it proposes, as with no window at all.
  ScriptedPrompts& PlanWavExport(std::optional<WavExportChoice> choice);

  Answer Ask(const MessageSpec& box) override;
  QString ChooseFile(const FileDialogSpec& dialog) override;
  QString ChooseFileAndType(const FileDialogSpec& dialog, int& type) override;
  std::optional<QString> AskText(const TextRequest& request) override;
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
  enum class Kind { Box, Dialog, Text };
  struct Step {
    Kind kind;
    Answer answer;
    QString file;  // also the typed text
    int type = 0;
    bool cancelled = false;
  };
  bool TakeStep(Kind kind, const QString& what, Step& step);

  std::deque<Step> script_;
  std::deque<std::optional<WavExportChoice>> wavChoices_;
};

}  // namespace reelo::testing
