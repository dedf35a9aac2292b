#include "ui/editor/form13_turbo_timings.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "project/block_fields.h"
#include "ui/window_helpers.h"

namespace reelo {
namespace {

constexpr const char* kTitle = "Скорость блока";
constexpr int kFieldWidth = 100;

// The fields in the dialog's order: caption, control name, member.
struct TimingField {
  const char* caption;
  const char* name;
  int TurboTimings::*value;
};
constexpr TimingField kFields[Form13::kFieldCount] = {
    {"Импульс пилота (такты):", "PilotEdit", &TurboTimings::pilot},
    {"Импульсов пилота:", "PilotPulsesEdit", &TurboTimings::pilotPulses},
    {"Первый синхроимпульс:", "Sync1Edit", &TurboTimings::sync1},
    {"Второй синхроимпульс:", "Sync2Edit", &TurboTimings::sync2},
    {"Импульс бита 0:", "ZeroEdit", &TurboTimings::zero},
    {"Импульс бита 1:", "OneEdit", &TurboTimings::one},
    {"Бит в последнем байте:", "UsedBitsEdit", &TurboTimings::usedBits},
    {"Пауза после блока (мс):", "PauseEdit", &TurboTimings::pause},
};

}  // namespace

Form13::Form13(Prompts& prompts, const TapeBlock& block, QWidget* parent)
    : QDialog(parent), prompts_(prompts), block_(block) {
  setObjectName(QStringLiteral("Form13"));
  setWindowTitle(QString::fromUtf8(kTitle));
  const TurboTimings timings = TurboTimingsOf(block_).value_or(TurboTimings{});
  auto* form = new QFormLayout;
  for (int i = 0; i < kFieldCount; ++i) {
    edits_[static_cast<std::size_t>(i)] = new QLineEdit(QString::number(timings.*kFields[i].value), this);
    edits_[static_cast<std::size_t>(i)]->setObjectName(QString::fromLatin1(kFields[i].name));
    edits_[static_cast<std::size_t>(i)]->setFixedWidth(kFieldWidth);
    form->addRow(QString::fromUtf8(kFields[i].caption), edits_[static_cast<std::size_t>(i)]);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OkButton"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelButton"));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &Form13::OkButton_Click);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

Form13::Entry Form13::CurrentBlock() const {
  Entry entry;
  TurboTimings timings;
  for (int i = 0; i < kFieldCount; ++i) {
    // Numbers are read as the frame reads a timing typed in place.
    std::string caption = kFields[i].caption;
    caption.pop_back();
    int value = 0;
    entry.status = ReadWholeNumber(edits_[static_cast<std::size_t>(i)]->text().toStdString(), caption, value);
    if (!entry.status.ok()) return entry;
    timings.*kFields[i].value = value;
  }
  entry.status = WithTurboTimings(block_, timings, entry.block);
  return entry;
}

void Form13::OkButton_Click() {
  Entry entry = CurrentBlock();
  if (!entry.status.ok()) {
    ShowOpResult(prompts_, entry.status, kTitle);
    return;
  }
  accepted_ = std::move(entry.block);
  accept();
}

std::optional<TapeBlock> Form13::Start() {
  adjustSize();
  CentreWindow(*this, parentWidget());
  if (exec() != QDialog::Accepted) return std::nullopt;
  return accepted_;
}

}  // namespace reelo
