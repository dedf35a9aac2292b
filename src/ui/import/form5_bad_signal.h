// The bad-signal question: shown by a decoding run about a pulse that fits no
// class. It shows the 101 samples around the pulse and asks which bit the
// fragment is; one button stops the whole run instead.
#pragma once

#include <QDialog>

class QCheckBox;

#include "sound/import/import_events.h"
#include "sound/import/import_pictures.h"

namespace reelo {

class PictureBox;

inline constexpr const char* kQuestionCaption = "Плохой сигнал";
inline constexpr const char* kQuestionText = "За какой бит считать этот фрагмент?";
inline constexpr const char* kApplyToRestText = "Применять этот ответ до конца загрузки";

class Form5 final : public QDialog {
  Q_OBJECT

 public:
  // The view is drawn here, so it is what the window shows from the start.
  Form5(const QuestionPicture& picture, QWidget* owner);

  // The button pressed; Closed until one is (the close box, Escape).
  QuestionReply reply() const { return reply_; }
  // True when the answer is to stand for every later question of the run:
  // the check box was ticked and a button (not the close box) answered.
  bool applyToRest() const;

 private:
  void createButtons();
  void DrawView(const QuestionPicture& picture);
  void Answer(QuestionReply reply);

  PictureBox* picture_ = nullptr;
  QCheckBox* applyToRest_ = nullptr;
  QuestionReply reply_ = QuestionReply::Closed;
};

}  // namespace reelo
