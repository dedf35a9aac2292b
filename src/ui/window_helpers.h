// Small things every window of the program does the same way: placing a new
// window, and telling the user how an operation ended.
#pragma once

#include "project/op_result.h"
#include "ui/prompts.h"

class QWidget;

namespace reelo {

// Moves a top-level window so that its middle lies on the middle of `over`'s
// window, or of the primary screen's free area when `over` is null.
void CentreWindow(QWidget& window, const QWidget* over = nullptr);

// Shows what an operation reported: nothing for plain success, a warning box
// for a warning, a critical box for a failure, each with the system's reason
// under the text. `title` empty: the program's title.
void ShowOpResult(Prompts& prompts, const OpResult& result, const char* title = "");

}  // namespace reelo
