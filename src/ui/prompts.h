// Every message box and file dialog of the program goes through this one
// interface: the program uses Qt's boxes and dialogs, the window tests a
// scripted fake that records each box and returns planned answers.
#pragma once

#include <QString>
#include <optional>

#include "sound/export/signal_stream.h"

namespace reelo {

// The program's title: the title of every box that has none of its own.
inline constexpr const char* kProgramTitle = "Reelo";

enum class Buttons { Ok, YesNo, YesNoCancel };
enum class BoxIcon { None, Information, Warning, Critical };
enum class Answer { Ok, Yes, No, Cancel };
enum class FileDialogKind { Open, Save };

struct MessageSpec {
  QString text;
  QString title;  // empty: the program's title
  Buttons buttons = Buttons::Ok;
  BoxIcon icon = BoxIcon::None;
  QString detail;  // the system's reason for a failure, shown under the text
};

struct FileDialogSpec {
  FileDialogKind kind = FileDialogKind::Open;
  QString title;
  // Pairs of description and pattern, separated by "|":
  // "Образ ленты (*.tap)|*.tap|Все файлы|*.*".
  QString filter;
  // Save dialogs offering several formats: a name typed without an extension
  // gets the one of the file type chosen in the dialog ("game" with TZX
  // chosen is "game.tzx"); "Все файлы" adds none.
  bool extensionFromType = false;
};

// What the WAV export's options window asks: the signal's form, and whether
// to read the written file back. The defaults give the export's usual file.
struct WavExportChoice {
  SignalOptions signal;
  bool verify = false;
  bool operator==(const WavExportChoice&) const = default;
};

// One line of text the user types: a block's name, an address, a line number.
struct TextRequest {
  QString title;
  QString label;    // what to type, above the field
  QString initial;  // the text the field starts with
};

class Prompts {
 public:
  virtual ~Prompts() = default;
  // Shows a box and returns the button the user chose.
  virtual Answer Ask(const MessageSpec& box) = 0;
  // Shows a file dialog with no proposed name; returns the chosen path, or an
  // empty text when the user cancelled. The dialog adds no extension itself
  // unless the request asks for extensionFromType.
  virtual QString ChooseFile(const FileDialogSpec& dialog) = 0;
  // The same dialog, also telling which pair of the filter (0 for the first)
  // was chosen when it closed: the kind of file the user asked for.
  // Prompts that show no windows take the first pair.
  virtual QString ChooseFileAndType(const FileDialogSpec& dialog, int& type) {
    type = 0;
    return ChooseFile(dialog);
  }
  // Asks for one line of text; nothing when the user cancelled (as prompts
  // that show no windows always answer).
  virtual std::optional<QString> AskText(const TextRequest&) { return std::nullopt; }
  // Shows the WAV export's options window with `proposed` chosen; returns
  // the choice, or nothing when the user cancelled. Prompts that show no
  // windows take the proposal as it is.
  virtual std::optional<WavExportChoice> ChooseWavExport(const WavExportChoice& proposed) { return proposed; }
};

// The title a box shows: its own, or the program's when it has none.
inline QString BoxTitle(const QString& title) {
  return title.isEmpty() ? QString::fromUtf8(kProgramTitle) : title;
}

}  // namespace reelo
