#include "ui/form1.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "project/block_list.h"
#include "ui/block_list_widget.h"
#include "ui/form9_progress.h"
#include "ui/startup.h"
#include "ui/window_helpers.h"

namespace reelo {
namespace {

constexpr int kToolbarIconSize = 16;
// The panels are narrow (96, 96 and 156 pixels); a small sans-serif face lets
// "Всего данных:" with an eight-digit count fit the third one.
constexpr const char* kStatusFontFamily = "Arial";
constexpr int kStatusFontPoints = 8;

// The menu bar, row by row: a menu, its items in order, separators, and the
// submenus that hold one item each.
enum class Row { Menu, Item, Separator, Submenu };

struct MenuRow {
  Row kind;
  const char* name;
  const char* caption;  // menus and submenus; items take theirs from the action
};

const MenuRow kMenuRows[] = {
    {Row::Menu, "filemenu", "Файл"},
    {Row::Item, "filenew", nullptr},
    {Row::Item, "fileopen", nullptr},
    {Row::Separator, nullptr, nullptr},
    {Row::Item, "filesave", nullptr},
    {Row::Item, "filesaveas", nullptr},
    {Row::Separator, nullptr, nullptr},
    {Row::Submenu, "import", "Импорт"},
    {Row::Item, "loadwav", nullptr},
    {Row::Submenu, "export", "Экспорт"},
    {Row::Item, "filesavewav", nullptr},
    {Row::Separator, nullptr, nullptr},
    {Row::Item, "fileexit", nullptr},
    {Row::Menu, "editmenu", "Правка"},
    {Row::Item, "editundo", nullptr},
    {Row::Item, "editredo", nullptr},
    {Row::Menu, "blockmenu", "Блок"},
    {Row::Item, "editup", nullptr},
    {Row::Item, "editdowd", nullptr},
    {Row::Item, "editdel", nullptr},
    {Row::Separator, nullptr, nullptr},
    {Row::Item, "editprops", nullptr},
    {Row::Separator, nullptr, nullptr},
    {Row::Item, "editadd", nullptr},
    {Row::Item, "editmake", nullptr},
    {Row::Item, "editsavedata", nullptr},
    {Row::Menu, "viewmenu", "Просмотр"},
    {Row::Item, "viewcode", nullptr},
    {Row::Item, "viewtext", nullptr},
    {Row::Item, "viewbasic", nullptr},
    {Row::Item, "viewscreen", nullptr},
    {Row::Menu, "tooltmenu", "Инструменты"},
    {Row::Item, "toolsksum", nullptr},
    {Row::Menu, "helpmenu", "Справка"},
    {Row::Item, "helpme", nullptr},
    {Row::Separator, nullptr, nullptr},
    {Row::Item, "helpabout", nullptr},
};

// Toolbar buttons left to right; an entry without a key is a separator.
struct ToolbarButton {
  const char* key;
  const char* tooltip;
  const char* iconKey;
  const char* command;  // the menu item whose handler the button runs
};

const ToolbarButton kToolbarButtons[] = {
    {"new", "Новый", "new", "filenew"},
    {nullptr, nullptr, nullptr, nullptr},
    {"open", "Открыть", "open", "fileopen"},
    {"save", "Сохранить", "save", "filesave"},
    {nullptr, nullptr, nullptr, nullptr},
    {"tape", "Загрузить из WAV-файла", "tape", "loadwav"},
    {nullptr, nullptr, nullptr, nullptr},
    {"up", "Блок вверх", "up", "editup"},
    {"down", "Блок вниз", "down", "editdowd"},
    {"del", "Удалить блок", "del", "editdel"},
    {"undo", "Отменить", "undo", "editundo"},
    {"redo", "Повторить", "redo", "editredo"},
    {nullptr, nullptr, nullptr, nullptr},
    {"code", "Смотреть 10-ричный код", "dec", "viewcode"},
    {"text", "Смотреть как текст", "text", "viewtext"},
    {"bas", "Смотреть как BASIC-программу", "bas", "viewbasic"},
    {"scr", "Смотреть как экран", "scr", "viewscreen"},
};

}  // namespace

QSize ListSizeAfterResize(QSize list, QSize client) {
  QSize result = list;
  if (client.height() > kListTop) {
    const int height = client.height() - kListTop - kStatusBarHeight;
    if (height < 0) return list;
    result.setHeight(height);
  }
  if (client.width() > kListMinClientWidth) result.setWidth(client.width());
  return result;
}

Form1::Form1(AppState& state, Prompts& prompts, QWidget* parent)
    : QMainWindow(parent), state_(state), prompts_(prompts) {
  setObjectName(QStringLiteral("Form1"));
  setWindowIcon(ProgramIcon());
  setWindowTitle(QString::fromUtf8(kProgramTitle));
  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("ClientArea"));
  setCentralWidget(client_);

  createActions();
  createMenus();
  createToolBar();
  createBlockList();
  createStatusBar();
  createHeaderFrame();
  createDeck();
  progress_ = new Form9(this);
  client_->installEventFilter(this);
  setAcceptDrops(true);

  resize(kFirstClientWidth, kFirstClientHeight + menuBar()->sizeHint().height());
  CentreWindow(*this);

  // The window shows the document as it is (at a run's start, empty) and
  // follows it from now on.
  state_.document.AddListener(*this);
  RefreshBlockList();
  UpdateSummary();
  UpdateEditActions();
}

Form1::~Form1() {
  // The frame's fields go with the window's children, after this: the last
  // signal or key of a field that has the focus must not reach a window
  // that is half gone.
  for (const FrameRow& row : headerRows_) {
    row.edit->removeEventFilter(this);
    disconnect(row.edit, nullptr, this, nullptr);
  }
  state_.document.RemoveListener(*this);
}

QAction* Form1::addCommand(const char* name, const char* caption, const QKeySequence& shortcut,
                           void (Form1::*handler)(), Changes changes) {
  auto* action = new QAction(QString::fromUtf8(caption), this);
  action->setObjectName(QString::fromLatin1(name));
  action->setProperty("changesTape", changes == Changes::Tape);
  action->setShortcut(shortcut);
  connect(action, &QAction::triggered, this, handler);
  addAction(action);  // the shortcut works while the menus are closed
  actions_.insert(action->objectName(), action);
  return action;
}

void Form1::createActions() {
  constexpr Changes tape = Changes::Tape;
  addCommand("filenew", "Новый", QKeySequence(Qt::CTRL | Qt::Key_N), &Form1::filenew_Click, tape);
  addCommand("fileopen", "Открыть...", QKeySequence(Qt::CTRL | Qt::Key_O), &Form1::fileopen_Click, tape);
  addCommand("filesave", "Сохранить", QKeySequence(Qt::CTRL | Qt::Key_S), &Form1::filesave_Click);
  addCommand("filesaveas", "Сохранить как...", {}, &Form1::filesaveas_Click);
  addCommand("loadwav", "Загрузить из WAV-файла", QKeySequence(Qt::CTRL | Qt::Key_W), &Form1::loadwav_Click, tape);
  addCommand("filesavewav", "Сохранить в WAV...", {}, &Form1::filesavewav_Click);
  addCommand("fileexit", "Выход", {}, &Form1::fileexit_Click);
  addCommand("editup", "Вверх", QKeySequence(Qt::CTRL | Qt::Key_Q), &Form1::editup_Click, tape);
  addCommand("editdowd", "Вниз", QKeySequence(Qt::CTRL | Qt::Key_A), &Form1::editdowd_Click, tape);
  addCommand("editdel", "Удалить", QKeySequence(Qt::Key_Delete), &Form1::editdel_Click, tape);
  addCommand("editadd", "Добавить файл...", QKeySequence(Qt::CTRL | Qt::Key_F), &Form1::editadd_Click, tape);
  addCommand("editundo", "Отменить", QKeySequence(Qt::CTRL | Qt::Key_Z), &Form1::editundo_Click, tape);
  addCommand("editredo", "Повторить", QKeySequence(Qt::CTRL | Qt::Key_Y), &Form1::editredo_Click, tape)
      ->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
  // Enter first, so that the menu names the key as people call it.
  addCommand("editprops", "Свойства блока...", QKeySequence(Qt::Key_Enter), &Form1::editprops_Click, tape)
      ->setShortcuts({QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)});
  addCommand("editmake", "Создать из файла...", {}, &Form1::editmake_Click, tape);
  addCommand("editsavedata", "Сохранить данные...", {}, &Form1::editsavedata_Click);
  addCommand("viewcode", "10-ричный код", QKeySequence(Qt::CTRL | Qt::Key_H), &Form1::viewcode_Click);
  addCommand("viewtext", "Текст", QKeySequence(Qt::CTRL | Qt::Key_T), &Form1::viewtext_Click);
  addCommand("viewbasic", "BASIC-листинг", QKeySequence(Qt::CTRL | Qt::Key_B), &Form1::viewbasic_Click);
  addCommand("viewscreen", "Экран", QKeySequence(Qt::CTRL | Qt::Key_R), &Form1::viewscreen_Click);
  addCommand("toolsksum", "Проверить/исправить контрольные сумму", {}, &Form1::toolsksum_Click, tape);
  addCommand("helpme", "Вызов справки...", QKeySequence(Qt::Key_F1), &Form1::helpme_Click);
  addCommand("helpabout", "О программе...", {}, &Form1::helpabout_Click);
}

void Form1::createMenus() {
  QMenu* menu = nullptr;
  QMenu* submenu = nullptr;  // receives the next item only
  for (const MenuRow& row : kMenuRows) {
    switch (row.kind) {
      case Row::Menu:
        menu = menuBar()->addMenu(QString::fromUtf8(row.caption));
        menu->setObjectName(QString::fromLatin1(row.name));
        break;
      case Row::Submenu:
        submenu = menu->addMenu(QString::fromUtf8(row.caption));
        submenu->setObjectName(QString::fromLatin1(row.name));
        break;
      case Row::Separator:
        menu->addSeparator();
        break;
      case Row::Item:
        (submenu ? submenu : menu)->addAction(actions_.value(QString::fromLatin1(row.name)));
        submenu = nullptr;
        break;
    }
  }
}

void Form1::createToolBar() {
  toolbar_ = new QToolBar(client_);
  toolbar_->setObjectName(QStringLiteral("Toolbar1"));
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  toolbar_->setIconSize(QSize(kToolbarIconSize, kToolbarIconSize));
  toolbar_->setGeometry(0, 0, kClientWidth, kToolbarHeight);
  // Each button is its menu item's own action, shown with the button's icon
  // and tooltip; the menus keep showing captions only.
  for (const ToolbarButton& button : kToolbarButtons) {
    if (!button.key) {
      toolbar_->addSeparator();
      continue;
    }
    QAction* action = actions_.value(QString::fromLatin1(button.command));
    if (!action) continue;  // a button whose command has no menu item
    const QString key = QString::fromLatin1(button.key);
    action->setIcon(ToolbarIcon(QString::fromLatin1(button.iconKey)));
    action->setIconVisibleInMenu(false);
    action->setToolTip(QString::fromUtf8(button.tooltip));
    action->setProperty("key", key);
    action->setProperty("iconKey", QString::fromLatin1(button.iconKey));
    toolbar_->addAction(action);
    toolbar_->widgetForAction(action)->setObjectName(QStringLiteral("Toolbar1_") + key);
    toolbarButtons_.insert(key, action);
  }
}

void Form1::createBlockList() {
  list_ = new BlockListWidget(client_);
  list_->setObjectName(QStringLiteral("List1"));
  list_->setSortingEnabled(false);
  list_->setUniformItemSizes(true);
  QFont font(QString::fromLatin1(kListFontFamily));
  font.setStyleHint(QFont::TypeWriter);
  font.setPointSizeF(kListFontPoints);
  list_->setFont(font);
  // The design size; the resize rule replaces it as soon as the window shows.
  list_->setGeometry(0, kListTop, 201, 164);
  connect(list_, &QListWidget::itemSelectionChanged, this, &Form1::List1_Click);
  connect(list_, &QListWidget::itemDoubleClicked, this, &Form1::List1_DblClick);
  connect(list_, &BlockListWidget::linesDropped, this, &Form1::List1_DragDrop);
}

void Form1::createStatusBar() {
  statusBar_ = new QStatusBar(client_);
  statusBar_->setObjectName(QStringLiteral("StatusBar1"));
  statusBar_->setSizeGripEnabled(false);
  statusBar_->setGeometry(0, kClientHeight - kStatusBarHeight, kClientWidth, kStatusBarHeight);
  QFont font(QString::fromLatin1(kStatusFontFamily));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(kStatusFontPoints);
  statusBar_->setFont(font);
  for (int i = 0; i < 3; ++i) {
    panels_[i] = new QLabel(statusBar_);
    panels_[i]->setObjectName(QStringLiteral("StatusBar1_Panel%1").arg(i + 1));
    panels_[i]->setFixedWidth(kStatusPanelWidths[i]);
    panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar_->addWidget(panels_[i]);
  }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_ && event->type() == QEvent::Resize) Form_Resize();
  for (std::size_t i = 0; i < headerRows_.size(); ++i) {
    if (watched == headerRows_[i].edit) return FrameFieldKey(i, event) || QMainWindow::eventFilter(watched, event);
  }
  return QMainWindow::eventFilter(watched, event);
}

// Toolbar on top and status bar at the bottom span the client area; the list
// follows the resize rule between them, on its side of the header frame while
// that shows.
void Form1::Form_Resize() {
  const QSize client = client_->size();
  toolbar_->setGeometry(0, 0, client.width(), kToolbarHeight);
  statusBar_->setGeometry(0, client.height() - kStatusBarHeight, client.width(), kStatusBarHeight);
  const int frameRoom = headerFrame_->isVisibleTo(this) ? kHeaderFrameRoom : 0;
  list_->resize(ListSizeAfterResize(list_->size(), QSize(client.width() - frameRoom, client.height())));
  headerFrame_->move(client.width() - kHeaderFrameRoom, kListTop);
}

void Form1::closeEvent(QCloseEvent* event) {
  // A close request that arrives while a file is being written waits for it.
  if (progress_->active() || !Form_Unload()) {
    event->ignore();
    return;
  }
  event->accept();
}

void Form1::Toolbar1_ButtonClick(const QString& key) {
  if (QAction* action = toolbarButtons_.value(key)) action->trigger();
}

void Form1::List1_Click() {
  if (SelectedBlock() >= 0) state_.document.SetBlockSelected(true);
  ShowHeaderInfo();
}

int Form1::SelectedBlock() const {
  const std::vector<int> rows = list_->SelectedRows();
  return rows.empty() ? -1 : rows.front();
}

std::vector<int> Form1::SelectedBlocks() const { return list_->SelectedRows(); }

std::vector<int> Form1::SelectedBlocksOrSay() {
  if (SelectedBlockOrSay() < 0) return {};
  return SelectedBlocks();
}

void Form1::RefreshBlockList() {
  list_->ShowEntries(BlockListEntries(state_.project));
  state_.document.SetBlockSelected(false);
  ShowHeaderInfo();
}

void Form1::UpdateSummary() {
  const ProjectSummary summary = Summarize(state_.project);
  setWindowTitle(QString::fromStdString(summary.title));
  panels_[0]->setText(QString::fromStdString(summary.blocksText));
  panels_[1]->setText(QString::fromStdString(summary.filesText));
  panels_[2]->setText(QString::fromStdString(summary.dataText));
}

void Form1::NoBlockSelected() { ShowBox("Блок не выбран", "", Buttons::Ok, BoxIcon::None); }

int Form1::SelectedBlockOrSay() {
  const int index = SelectedBlock();
  if (!state_.project.blockSelected || index < 0) {
    NoBlockSelected();
    return -1;
  }
  return index;
}

void Form1::ShowResult(const OpResult& result, const char* title) { ShowOpResult(prompts_, result, title); }

Answer Form1::ShowBox(const std::string& text, const char* title, Buttons buttons, BoxIcon icon,
                      const std::string& detail) {
  return prompts_.Ask({QString::fromStdString(text), QString::fromUtf8(title), buttons, icon,
                       QString::fromStdString(detail)});
}

QString Form1::ChooseFile(FileDialogKind kind, const char* title, const char* filter) {
  return prompts_.ChooseFile({kind, QString::fromUtf8(title), QString::fromUtf8(filter)});
}

}  // namespace reelo
