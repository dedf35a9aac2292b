// The "Файл" menu: New, Open, Save, Save as, Save as WAV, Exit, and the
// question that protects unsaved changes.
#include "formats/tape_file.h"
#include "project/block_kinds.h"
#include "project/tap_file.h"
#include "sound/export/wav_export.h"
#include "sound/export/wav_writer.h"
#include "ui/file_names.h"
#include "ui/form1.h"
#include "ui/form9_progress.h"
#include "ui/tape_filters.h"

namespace reelo {
namespace {

constexpr const char* kSaveChangesText = "Сохранить изменения?";
constexpr const char* kNewTitle = "Создание нового образа";
constexpr const char* kOpenTitle = "Открытие нового файла";
constexpr const char* kExitTitle = "Выход";
constexpr const char* kReplaceText = "Файл с таким именем уже существует, заменить?";
constexpr const char* kReplaceTitle = "Сохранение файла";

constexpr const char* kOpenDialogTitle = "Открыть образ ленты TAP";
constexpr const char* kSaveAsDialogTitle = "Сохранить образ ленты TAP";
constexpr const char* kSaveWavDialogTitle = "Сохранить проект в WAV-файл";
constexpr const char* kWavFilter = "Звуковой файл (*.wav)|*.wav|Все файлы|*.*";
constexpr const char* kTapExtension = ".tap";
constexpr const char* kWavExtension = ".wav";
constexpr const char* kWavCheckTitle = "Проверка WAV-файла";
constexpr const char* kTapLossesQuestion = "\nСохранить в формате TAP?";

}  // namespace

// New and Open are steps of the history: Undo brings the earlier tape back.
void Form1::filenew_Click() {
  if (!AskToSaveChanges(kNewTitle)) return;
  ShowEdit(state_.document.New());
}

// The dialog comes first: a cancelled dialog leaves the tape as it was.
void Form1::fileopen_Click() {
  const QString chosen = ChooseFile(FileDialogKind::Open, kOpenDialogTitle, kTapeOpenFilter);
  if (chosen.isEmpty()) return;
  OpenChosenFile(ToLocalPath(chosen));
}

bool Form1::OpenChosenFile(const std::string& path) {
  if (!AskToSaveChanges(kOpenTitle)) return false;
  // The tape and the file's name are replaced only when the file could be
  // read: an unreadable file leaves the tape as it was and must not become
  // the target of the next Save.
  const EditResult opened = state_.document.Open(path, ReadTapeFile(path, kMaxBlocks, *progress_));
  if (opened.status.ok()) NoteRecentFile(path);
  ShowEdit(opened);
  return true;
}

void Form1::filesave_Click() { SaveProject(); }

void Form1::filesaveas_Click() { SaveProjectAs(); }

void Form1::filesavewav_Click() {
  const QString chosen = ChooseFile(FileDialogKind::Save, kSaveWavDialogTitle, kWavFilter);
  if (chosen.isEmpty()) return;
  state_.WavFileName = WithDefaultExtension(ToLocalPath(chosen), kWavExtension);
  if (IsExistingFile(state_.WavFileName) &&
      ShowBox(kReplaceText, kReplaceTitle, Buttons::YesNo, BoxIcon::None) != Answer::Yes) {
    return;
  }
  const std::optional<WavExportChoice> choice = prompts_.ChooseWavExport(wavChoice_);
  if (!choice) return;
  wavChoice_ = *choice;
  const OpResult result = SaveWavFile(state_.project, state_.WavFileName, choice->signal, *progress_);
  ShowResult(result, kSaveFailedTitle);
  if (result.ok() && choice->verify) ShowWavCheck(VerifyWavFile(state_.project, state_.WavFileName, choice->signal, *progress_));
}

void Form1::ShowWavCheck(const WavCheckResult& check) {
  const BoxIcon icon = !check.readable ? BoxIcon::Critical : check.identical ? BoxIcon::Information : BoxIcon::Warning;
  ShowBox(check.text, kWavCheckTitle, Buttons::Ok, icon, check.detail);
}

void Form1::fileexit_Click() { close(); }

bool Form1::Form_Unload() { return AskToSaveChanges(kExitTitle); }

bool Form1::AskToSaveChanges(const char* title) {
  if (!state_.project.modified) return true;
  switch (ShowBox(kSaveChangesText, title, Buttons::YesNoCancel, BoxIcon::None)) {
    case Answer::No: return true;
    // Yes goes on only when the changes are safe on disk; otherwise it stops
    // the command as Cancel would, and nothing is discarded.
    case Answer::Yes: return SaveProject();
    default: return false;
  }
}

// A tape opened from a PZX or CSW file is saved under a new name: the program
// does not write those formats, and the recording must not be overwritten.
bool Form1::SaveProject() {
  const std::string& name = state_.project.fileName;
  return state_.project.hasFileName() && !IsReadOnlyTapeName(name) ? WriteProject() : SaveProjectAs();
}

bool Form1::SaveProjectAs() {
  const QString chosen = prompts_.ChooseFile(
      {FileDialogKind::Save, QString::fromUtf8(kSaveAsDialogTitle), QString::fromUtf8(kTapeSaveFilter), true});
  if (chosen.isEmpty()) return false;
  const std::string path = WithDefaultExtension(ToLocalPath(chosen), kTapExtension);
  bool saved = false;
  // Declining to replace keeps the project's earlier name, so a later Save
  // cannot write over the file the user chose to keep.
  if (!IsExistingFile(path) || ShowBox(kReplaceText, kReplaceTitle, Buttons::YesNo, BoxIcon::None) == Answer::Yes) {
    state_.document.SetFileName(path);
    saved = WriteProject();
    if (saved) NoteRecentFile(path);
  }
  return saved;
}

bool Form1::WriteProject() {
  // A TAP file holds records only: the user hears first what becomes of the
  // rest (records decoded from the signal blocks, the other kinds left out).
  const std::string& name = state_.project.fileName;
  const TapLosses losses = IsTzxFileName(name) || IsReadOnlyTapeName(name) ? TapLosses{} : TapLossesOf(state_.project);
  if (!losses.empty() &&
      ShowBox(TapLossesText(losses) + kTapLossesQuestion, kReplaceTitle, Buttons::YesNo, BoxIcon::Warning) != Answer::Yes) {
    return false;
  }
  // Undoing back to this point clears `modified` again.
  const OpResult result = state_.document.Save([this](TapeProject& project) { return SaveTapeFile(project, *progress_); });
  // A saved TAP file tells what was decoded from the signal blocks.
  ShowResult(result, result.isWarning() ? kReplaceTitle : kSaveFailedTitle);
  return result.ok();
}

}  // namespace reelo
