// The main window: menu bar, toolbar, block list and status bar. Every command
// of the program is one of its handlers, named after its menu item.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QSize>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "project/block_fields.h"
#include "project/edits.h"
#include "project/op_result.h"
#include "project/tape_document.h"
#include "ui/app_state.h"
#include "ui/prompts.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QStatusBar;
class QToolBar;

namespace reelo {

class BlockListWidget;
class DesktopMemory;
class Form9;
struct WavCheckResult;
class AudioOutput;
class DeckParts;
// Deletes the deck's parts while the window is still whole (form1_playback.cpp).
struct DeckPartsDeleter {
  void operator()(DeckParts* parts) const;
};
class TapeDeck;

// The client area (below the menu bar) the layout was designed for, in
// pixels: the list keeps at least this width beside the header frame.
inline constexpr int kClientWidth = 369;
inline constexpr int kClientHeight = 329;
// The client area of a new window: wide enough for every menu title and
// every toolbar button (the deck's too) and still inside a 1024x768 screen.
inline constexpr int kFirstClientWidth = 640;
inline constexpr int kFirstClientHeight = 440;
inline constexpr int kToolbarHeight = 22;
inline constexpr int kListTop = 24;
inline constexpr int kStatusBarHeight = 17;
// Below this client width the list keeps its width on a resize.
inline constexpr int kListMinClientWidth = 187;
inline constexpr int kStatusPanelWidths[] = {96, 96, 156};
inline constexpr const char* kListFontFamily = "Courier New";
inline constexpr double kListFontPoints = 9.75;
// The header-information frame stands this far from the client area's right
// edge while it shows; the list keeps the rest of the width.
inline constexpr int kHeaderFrameRoom = 180;

// The list's size after the client area became `client` (W x H): its height
// follows H when H > 24, its width follows W when W > 187. A height that would
// come out negative cannot be set: the list then keeps its whole size.
QSize ListSizeAfterResize(QSize list, QSize client);

// The window follows the document: the list, the title and the status
// panels, the edit actions and the deck change when the document says so.
class Form1 : public QMainWindow, public TapeDocumentListener {
  Q_OBJECT

 public:
  Form1(AppState& state, Prompts& prompts, QWidget* parent = nullptr);
  ~Form1() override;

  // What the document tells: the list, summary and deck follow the tape; the
  // edit actions its history.
  void TapeChanged(const TapeChange& change) override;
  void ModifiedChanged(bool modified) override;
  void HistoryChanged() override;

  // Rebuilds the block list: one line per block, no line selected.
  void RefreshBlockList();
  // Sets the title and the three status panels from the project.
  void UpdateSummary();
  // Says "Блок не выбран"; commands that need a block call it and stop.
  void NoBlockSelected();
  // The first selected line (the first selected block's index), or -1.
  int SelectedBlock() const;
  // Every selected line, lowest first.
  std::vector<int> SelectedBlocks() const;
  // The same, or "Блок не выбран" and nothing when no line is selected.
  std::vector<int> SelectedBlocksOrSay();
  // The selected block's index; or, when the user has selected no line since
  // the list was last rebuilt, "Блок не выбран" and -1.
  int SelectedBlockOrSay();
  // The same for the views: a block of a kind that carries no data is named
  // in a box that says so, and -1.
  int SelectedDataBlockOrSay();

  // Turns on what lasts between runs: the "Последние файлы" submenu of the
  // "Файл" menu, filled from `memory` and kept up to date by every open and
  // save. Without it (window tests) the window remembers nothing.
  void UseDesktopMemory(DesktopMemory* memory);
  // Opens paths[0] as Open does once its dialog has returned (the save
  // question first, with Open's title) and adds the others as Add file does;
  // with `addOnly` every one is added. The command line and drops come here.
  void OpenFiles(const QStringList& paths, bool addOnly);

  AppState& state() { return state_; }
  Prompts& prompts() { return prompts_; }
  Form9& progressWindow() { return *progress_; }

 public slots:
  void filenew_Click();
  void fileopen_Click();
  void filesave_Click();
  void filesaveas_Click();
  void filesavewav_Click();
  void fileexit_Click();
  void editundo_Click();
  void editredo_Click();
  void loadwav_Click();
  void editup_Click();
  void editdowd_Click();
  void editdel_Click();
  void editadd_Click();
  void editprops_Click();
  void editmake_Click();
  void editsavedata_Click();
  void viewcode_Click();
  void viewtext_Click();
  void viewbasic_Click();
  void viewscreen_Click();
  void toolsksum_Click();
  void helpme_Click();
  void helpabout_Click();
  // Runs the command of a toolbar button's key (the button's own action, which
  // is the menu item's). A key of no button does nothing.
  void Toolbar1_ButtonClick(const QString& key);
  void List1_Click();
  void List1_DblClick(QListWidgetItem* item);
  // The selected lines were dragged and dropped before line `row`.
  void List1_DragDrop(int row);

  // The "Лента" menu: the tape played through the sound card (form1_playback.cpp).
  void tapeplay_Click();
  void tapepause_Click();
  void tapestop_Click();
  void tapenext_Click();
  void tapeprev_Click();
  void tapepauseafter_Click();
  void tapeoutput_Click();

 public:
  TapeDeck& deck();
  // Plays through output from now on instead of the sound card (window tests).
  void UseAudioOutput(AudioOutput& output);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Files dropped on the window are opened; with Ctrl held they are added.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void createActions();
  void createMenus();
  void createToolBar();
  void createBlockList();
  void createStatusBar();
  void createHeaderFrame();
  // Shows the frame with the selected block's fields, or hides it.
  void ShowHeaderInfo();
  void ShowFieldRows(const std::vector<BlockField>& rows);
  // A timing typed in the frame's row `row` (Enter, or the field left): the
  // block changes as one undoable step, or a box says why not and the field
  // shows the block's value again.
  void Frame1_Field_Change(std::size_t row);
  // Escape in a timing field puts the block's value back; Undo and Redo keys
  // in a field the user has not typed in go to the window's Undo and Redo.
  bool FrameFieldKey(std::size_t row, QEvent* event);
  // The frame's "Скорость блока..." button: the selected turbo block's timings.
  void Frame1_Timings_Click();
  // Asks for new timings of the turbo block `block` (at `index`, or a header
  // edited just now) and makes the change, with the header's, as one step.
  void EditTurboTimings(int index, const TapeBlock& block);
  void createDeck();
  // The document's blocks changed: the deck stops before anything shows them.
  void TapeBlocksChanged();
  void UpdateDeckControls();
  void ShowDeckFailure(const QString& reason);
  void Form_Resize();
  // The exit question; false when the window is to stay open.
  bool Form_Unload();

  Answer ShowBox(const std::string& text, const char* title, Buttons buttons, BoxIcon icon,
                 const std::string& detail = {});
  QString ChooseFile(FileDialogKind kind, const char* title, const char* filter);
  // Asks "Сохранить изменения?" when the project is modified. False when the
  // command is to stop: Cancel, or Yes and the project was not saved.
  bool AskToSaveChanges(const char* title);
  // Save and Save as; true when the project was written.
  bool SaveProject();
  bool SaveProjectAs();
  bool WriteProject();
  // Shows how an operation ended (nothing for plain success).
  void ShowResult(const OpResult& result, const char* title = "");
  // Open's steps once a file has been chosen: the save question, then the
  // file read; only a file that could be read replaces the tape (one step of
  // the history) and becomes the project's file. False when the question
  // stopped the command.
  bool OpenChosenFile(const std::string& path);
  // Add file's steps for a chosen file; true when it could be read.
  bool AddChosenFile(const std::string& path);
  // Puts an opened or saved file at the top of the recent files.
  void NoteRecentFile(const std::string& path);
  void RebuildRecentMenu();
  void OpenRecentFile(const QString& path);
  // The verdict of reading a written WAV file back, in a box.
  void ShowWavCheck(const WavCheckResult& check);
  void MoveSelectedBlock(int offset);
  // Shows how an edit, undo or redo ended: its warning, or the reason it was
  // refused (the list and the summary have followed the document already).
  void ShowEdit(const EditResult& edit);
  // Commands that change the tape can be used while the document is not
  // locked; Undo and Redo while there is something to undo or redo.
  void UpdateEditActions();

  // Whether a command changes the tape (and so waits while the deck plays).
  enum class Changes { Nothing, Tape };
  QAction* addCommand(const char* name, const char* caption, const QKeySequence& shortcut,
                      void (Form1::*handler)(), Changes changes = Changes::Nothing);

  AppState& state_;
  Prompts& prompts_;
  QHash<QString, QAction*> actions_;        // by menu item name
  QHash<QString, QAction*> toolbarButtons_;  // the same actions, by button key
  QWidget* client_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  BlockListWidget* list_ = nullptr;
  QGroupBox* headerFrame_ = nullptr;
  // One row of the frame: its caption, and a label for a value to read or a
  // line edit for a timing to type (the other one hidden).
  struct FrameRow {
    QLabel* caption = nullptr;
    QLabel* value = nullptr;
    QLineEdit* edit = nullptr;
    std::string key;
    QString shown;  // the edit's text as the block gives it
  };
  std::vector<FrameRow> headerRows_;
  int headerBlock_ = -1;         // the block whose fields the frame shows
  bool applyingField_ = false;   // a typed timing is being made a step
  QPushButton* headerTimings_ = nullptr;
  QStatusBar* statusBar_ = nullptr;
  QLabel* panels_[3] = {};
  Form9* progress_ = nullptr;
  DesktopMemory* memory_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  // The WAV export's options as last chosen in this run.
  WavExportChoice wavChoice_;
  std::unique_ptr<DeckParts, DeckPartsDeleter> deck_;
};

}  // namespace reelo
