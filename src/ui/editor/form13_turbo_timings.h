// "Скорость блока": the timings of a turbo block (pilot, sync and bit pulses in
// T-states, the pilot's pulse count, the used bits of the last byte, the pause
// after it) for the user to change. The dialog collects and checks them
// through the core; the main window makes the change, as one undoable edit.
#pragma once

#include <QDialog>
#include <array>
#include <optional>

#include "project/block_kinds.h"
#include "ui/prompts.h"

class QLineEdit;

namespace reelo {

class Form13 final : public QDialog {
  Q_OBJECT

 public:
  // `block` is a turbo block.
  Form13(Prompts& prompts, const TapeBlock& block, QWidget* parent = nullptr);

  // Shows the dialog modally; the new block when the user chose "ОК" with
  // valid fields, nothing when the user cancelled.
  std::optional<TapeBlock> Start();

  // The block the fields make, or the reason (Russian) why they make none.
  struct Entry {
    OpResult status;
    TapeBlock block;
  };
  Entry CurrentBlock() const;

  static constexpr int kFieldCount = 8;

 private:
  void OkButton_Click();

  Prompts& prompts_;
  TapeBlock block_;
  TapeBlock accepted_;
  std::array<QLineEdit*, kFieldCount> edits_{};
};

}  // namespace reelo
