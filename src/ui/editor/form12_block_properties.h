// "Свойства блока": the fields of one tape header (type, name, start address
// or autostart line or array variable, data length) for the user to change.
// The dialog only collects and checks the fields; the main window makes the
// change, as one undoable edit.
#pragma once

#include <QDialog>
#include <optional>

#include "project/header_info.h"
#include "project/tape_project.h"
#include "ui/prompts.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace reelo {

class Form12 final : public QDialog {
  Q_OBJECT

 public:
  // `header` is the block to edit (a record of length 19); `dataLengthAfter`
  // the length of the data block right after it, when there is one.
  Form12(Prompts& prompts, const TapeBlock& header, std::optional<int> dataLengthAfter, QWidget* parent = nullptr);

  // Shows the dialog modally; the fields when the user chose "ОК" and they
  // make a valid header, nothing when the user cancelled.
  std::optional<HeaderFields> Start();

  // The fields as they stand in the dialog, or the reason (Russian) why they
  // do not make a header.
  struct Entry {
    OpResult status;
    HeaderFields fields;
  };
  Entry CurrentFields() const;

 private:
  void createControls();
  void fillFrom(const HeaderInfo& info);
  // The parameter's caption and hint follow the chosen type.
  void TypeBox_Change();
  // Marks a length that differs from the data block after the header.
  void LengthEdit_Change();
  void OkButton_Click();

  Prompts& prompts_;
  TapeBlock header_;
  std::optional<int> dataLengthAfter_;
  HeaderFields accepted_;
  // The header's name as the core spells it (trailing spaces kept); the field
  // shows it without them, so that there is room to type.
  QString originalName_;
  QComboBox* typeBox_ = nullptr;
  QLineEdit* nameEdit_ = nullptr;
  QLabel* parameterLabel_ = nullptr;
  QLineEdit* parameterEdit_ = nullptr;
  QLineEdit* lengthEdit_ = nullptr;
  QPushButton* dataLengthButton_ = nullptr;
  QLabel* lengthMark_ = nullptr;
};

}  // namespace reelo
