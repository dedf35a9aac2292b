// The "Лента" menu and the deck's toolbar group: the tape played through the
// sound card into a real Spectrum, with the block being played highlighted in
// the list and its number and the time in the status bar.
#include <QAbstractItemModel>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "ui/form1.h"
#include "ui/block_list_widget.h"
#include "ui/playback/deck_window.h"
#include "playback_qt/qt_audio_output.h"
#include "playback_qt/tape_deck.h"
#include "ui/startup.h"

// The resource registration of the deck's icons; it has to be named outside
// any namespace, and a static library's resources need the call.
static void RegisterDeckIcons() { Q_INIT_RESOURCE(playback); }

namespace reelo {
namespace {

constexpr const char* kTapeMenuName = "tapemenu";
constexpr const char* kTapeMenuCaption = "Лента";
constexpr const char* kMenuBefore = "tooltmenu";  // "Лента" comes after "Просмотр", before this one
constexpr const char* kPauseCaption = "Пауза";
constexpr const char* kContinueCaption = "Продолжить";
constexpr const char* kStatusLabelName = "StatusBar1_Deck";
constexpr int kFullVolume = 100;
// The block being played: a pale green band, like a lit counter.
const QColor kPlayingColour(200, 240, 200);

// The menu's rows in order; a row without a name is a separator. Rows with an
// icon are also the toolbar's deck group, in the same order.
struct DeckCommand {
  const char* name;
  const char* caption;
  const char* iconKey;
  QKeyCombination shortcut;
  void (Form1::*handler)();
};

const DeckCommand kDeckCommands[] = {
    {"tapeplay", "Воспроизвести", "play", QKeyCombination(Qt::Key_F5), &Form1::tapeplay_Click},
    {"tapepause", kPauseCaption, "pause", QKeyCombination(Qt::Key_F6), &Form1::tapepause_Click},
    {"tapestop", "Стоп", "stop", QKeyCombination(Qt::Key_F7), &Form1::tapestop_Click},
    {nullptr, nullptr, nullptr, {}, nullptr},
    {"tapeprev", "Предыдущий блок", "prev", {}, &Form1::tapeprev_Click},
    {"tapenext", "Следующий блок", "next", {}, &Form1::tapenext_Click},
    {nullptr, nullptr, nullptr, {}, nullptr},
    {"tapepauseafter", "Пауза после каждого блока", nullptr, {}, &Form1::tapepauseafter_Click},
    {"tapeoutput", "Вывод звука...", nullptr, {}, &Form1::tapeoutput_Click},
};

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

// What the main window keeps for the deck. The window deletes it before its
// widgets, so nothing of the deck runs against a window half taken apart; it
// is also the context of every connection that calls the window.
class DeckParts : public QObject {
 public:
  DeckParts() : soundCard(new QtAudioOutput(this)), output(soundCard) {}
  // The deck goes first: stopping it stops the output it plays through.
  ~DeckParts() override { delete deck; }

  QtAudioOutput* soundCard;
  AudioOutput* output;
  TapeDeck* deck = nullptr;
  QHash<QString, QAction*> actions;
  QLabel* status = nullptr;
  DeckWindow* window = nullptr;
  int volumePercent = kFullVolume;
  int highlighted = -1;                 // the list line shown as playing
};

void DeckPartsDeleter::operator()(DeckParts* parts) const { delete parts; }

void Form1::createDeck() {
  RegisterDeckIcons();
  deck_.reset(new DeckParts);

  QMenu* menu = new QMenu(Text(kTapeMenuCaption), this);
  menu->setObjectName(QString::fromLatin1(kTapeMenuName));
  QMenu* before = menuBar()->findChild<QMenu*>(QString::fromLatin1(kMenuBefore));
  menuBar()->insertMenu(before ? before->menuAction() : nullptr, menu);

  toolbar_->addSeparator();
  for (const DeckCommand& command : kDeckCommands) {
    if (!command.name) {
      menu->addSeparator();
      continue;
    }
    auto* action = new QAction(Text(command.caption), this);
    action->setObjectName(QString::fromLatin1(command.name));
    action->setShortcut(QKeySequence(command.shortcut));
    action->setToolTip(action->text());
    connect(action, &QAction::triggered, this, command.handler);
    addAction(action);  // the shortcut works while the menus are closed
    menu->addAction(action);
    if (command.iconKey) {
      action->setIcon(ToolbarIcon(QString::fromLatin1(command.iconKey)));
      action->setProperty("key", QString::fromLatin1(command.iconKey));
      action->setProperty("iconKey", QString::fromLatin1(command.iconKey));
      toolbar_->addAction(action);
    }
    deck_->actions.insert(action->objectName(), action);
  }
  deck_->actions.value(QStringLiteral("tapepauseafter"))->setCheckable(true);

  deck_->status = new QLabel(statusBar_);
  deck_->status->setObjectName(QString::fromLatin1(kStatusLabelName));
  deck_->status->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  deck_->status->hide();
  statusBar_->addWidget(deck_->status, 1);

  // Adding or removing blocks can make Play possible or not.
  QAbstractItemModel* model = list_->model();
  auto linesChanged = [this] { UpdateDeckControls(); };
  connect(model, &QAbstractItemModel::modelReset, deck_.get(), [this, linesChanged] {
    deck_->highlighted = -1;  // the lines were made anew
    linesChanged();
  });
  connect(model, &QAbstractItemModel::rowsInserted, deck_.get(), linesChanged);
  connect(model, &QAbstractItemModel::rowsRemoved, deck_.get(), linesChanged);
  UseAudioOutput(*deck_->soundCard);
}

TapeDeck& Form1::deck() { return *deck_->deck; }

void Form1::TapeBlocksChanged() {
  if (deck_ && deck_->deck) deck_->deck->TapeChanged();
}

void Form1::UseAudioOutput(AudioOutput& output) {
  SignalOptions options;
  if (deck_->deck) {
    options = deck_->deck->options();
    delete deck_->deck;
  }
  deck_->output = &output;
  output.SetVolume(deck_->volumePercent / double{kFullVolume});
  deck_->deck = new TapeDeck(state_.project, output, deck_.get());
  deck_->deck->setOptions(options);
  deck_->deck->setPauseAfterBlock(deck_->actions.value(QStringLiteral("tapepauseafter"))->isChecked());
  connect(deck_->deck, &TapeDeck::Changed, deck_.get(), [this] { UpdateDeckControls(); });
  connect(deck_->deck, &TapeDeck::Failed, deck_.get(), [this](const QString& reason) { ShowDeckFailure(reason); });
  UpdateDeckControls();
}

void Form1::UpdateDeckControls() {
  TapeDeck& deck = *deck_->deck;
  const DeckState state = deck.state();
  const bool active = state != DeckState::Stopped;
  auto action = [this](const char* name) { return deck_->actions.value(QString::fromLatin1(name)); };

  action("tapeplay")->setEnabled(!active && !state_.project.blocks.empty());
  QAction* pause = action("tapepause");
  pause->setEnabled(active);
  pause->setText(Text(state == DeckState::Paused ? kContinueCaption : kPauseCaption));
  pause->setToolTip(pause->text());
  const char* pauseIcon = state == DeckState::Paused ? "play" : "pause";
  pause->setIcon(ToolbarIcon(QString::fromLatin1(pauseIcon)));
  pause->setProperty("iconKey", QString::fromLatin1(pauseIcon));
  action("tapestop")->setEnabled(active);
  action("tapeprev")->setEnabled(active);
  action("tapenext")->setEnabled(active && deck.block() + 1 < deck.blockCount());

  // The deck reads the blocks as it goes: while it plays or is paused the
  // document refuses every change, and the commands that make one wait.
  state_.document.SetLocked(active);

  const int row = active ? deck.block() : -1;
  if (row != deck_->highlighted) {
    if (QListWidgetItem* old = list_->item(deck_->highlighted)) old->setBackground(QBrush());
    if (QListWidgetItem* now = list_->item(row)) {
      now->setBackground(kPlayingColour);
      list_->scrollToItem(now);
    }
    deck_->highlighted = row;
  }

  for (QLabel* panel : panels_) panel->setVisible(!active);
  deck_->status->setVisible(active);
  if (active) deck_->status->setText(DeckStatusText(deck));
}

void Form1::ShowDeckFailure(const QString& reason) {
  prompts_.Ask({Text(kNoAudioDeviceText), QString(), Buttons::Ok, BoxIcon::Critical, reason});
}

// From the selected block, or from the first when none is selected.
void Form1::tapeplay_Click() {
  if (state_.project.blocks.empty() || deck().state() != DeckState::Stopped) return;
  const int selected = SelectedBlock();
  deck().Play(state_.project.blockSelected && selected >= 0 ? selected : 0);
}

void Form1::tapepause_Click() {
  if (deck().state() == DeckState::Paused) {
    deck().Continue();
  } else {
    deck().Pause();
  }
}

void Form1::tapestop_Click() { deck().Stop(); }

void Form1::tapenext_Click() { deck().NextBlock(); }

void Form1::tapeprev_Click() { deck().PreviousBlock(); }

void Form1::tapepauseafter_Click() {
  deck().setPauseAfterBlock(deck_->actions.value(QStringLiteral("tapepauseafter"))->isChecked());
}

void Form1::tapeoutput_Click() {
  if (!deck_->window) {
    deck_->window = new DeckWindow(this);
    connect(deck_->window, &DeckWindow::DeviceChosen, deck_.get(),
            [this](const QByteArray& id) { deck_->soundCard->setDevice(id); });
    connect(deck_->window, &DeckWindow::VolumeChanged, deck_.get(), [this](int percent) {
      deck_->volumePercent = percent;
      deck_->output->SetVolume(percent / double{kFullVolume});
    });
    connect(deck_->window, &DeckWindow::OptionsChanged, deck_.get(),
            [this](const SignalOptions& options) { deck().setOptions(options); });
  }
  deck_->window->Show(deck_->soundCard->device(), deck_->volumePercent, deck().options());
}

}  // namespace reelo
