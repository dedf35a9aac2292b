// The main window: menu bar, toolbar, block list and status bar. Every command
// of the program is one of its handlers, named after its menu item.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QSize>
#include <QString>
#include <memory>
#include <string>

#include "project/op_result.h"
#include "ui/app_state.h"
#include "ui/prompts.h"

class QLabel;
class QListWidget;
class QStatusBar;
class QToolBar;

namespace reelo {

class AudioOutput;
class DeckParts;
// Deletes the deck's parts while the window is still whole (form1_playback.cpp).
struct DeckPartsDeleter {
  void operator()(DeckParts* parts) const;
};
class Form9;
class TapeDeck;

// The client area (below the menu bar) of a new window, in pixels.
inline constexpr int kClientWidth = 369;
inline constexpr int kClientHeight = 329;
inline constexpr int kToolbarHeight = 22;
inline constexpr int kListTop = 24;
inline constexpr int kStatusBarHeight = 17;
// Below this client width the list keeps its width on a resize.
inline constexpr int kListMinClientWidth = 187;
inline constexpr int kStatusPanelWidths[] = {96, 96, 156};
inline constexpr const char* kListFontFamily = "Courier New";
inline constexpr double kListFontPoints = 9.75;

// The list's size after the client area became `client` (W x H): its height
// follows H when H > 24, its width follows W when W > 187. A height that would
// come out negative cannot be set: the list then keeps its whole size.
QSize ListSizeAfterResize(QSize list, QSize client);

class Form1 : public QMainWindow {
  Q_OBJECT

 public:
  Form1(AppState& state, Prompts& prompts, QWidget* parent = nullptr);
  ~Form1() override;

  // Rebuilds the block list: one line per block, no line selected.
  void RefreshBlockList();
  // Sets the title and the three status panels from the project.
  void UpdateSummary();
  // Says "Блок не выбран"; commands that need a block call it and stop.
  void NoBlockSelected();
  // The selected line (the selected block's index), or -1.
  int SelectedBlock() const;

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
  void loadwav_Click();
  void editup_Click();
  void editdowd_Click();
  void editdel_Click();
  void editadd_Click();
  void viewcode_Click();
  void viewtext_Click();
  void viewbasic_Click();
  void viewscreen_Click();
  void toolsksum_Click();
  void helpme_Click();
  void helpabout_Click();
  // Runs the command of a toolbar button's key, as its menu item would.
  void Toolbar1_ButtonClick(const QString& key);
  void List1_Click();

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

 private:
  void createActions();
  void createMenus();
  void createToolBar();
  void createBlockList();
  void createStatusBar();
  void createDeck();
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
  // Shows what went wrong reading a TAP file, once the list shows what was
  // read: a critical box for an unreadable file, a warning for a damaged one.
  void ShowLoadProblem(const OpResult& result);
  void MoveSelectedBlock(int offset);

  QAction* addCommand(const char* name, const char* caption, const QKeySequence& shortcut,
                      void (Form1::*handler)());

  AppState& state_;
  Prompts& prompts_;
  QHash<QString, QAction*> actions_;
  QWidget* client_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  QListWidget* list_ = nullptr;
  QStatusBar* statusBar_ = nullptr;
  QLabel* panels_[3] = {};
  Form9* progress_ = nullptr;
  std::unique_ptr<DeckParts, DeckPartsDeleter> deck_;
};

}  // namespace reelo
