// The fields of one block as the header frame of the main window shows them:
// a header's type, start, size and autostart; a turbo block's timings; the
// tone, pause, text, message or archive entries of the other kinds. One row
// per field, each a caption and a value, both texts the user reads. The
// timings of the kinds that sound with their own (turbo, pure data, a tone, a
// pulse sequence) can be typed in place: the frame gives the typed text back
// here, and the window makes the new block one undoable step.
#pragma once

#include <string>
#include <vector>

#include "project/op_result.h"
#include "project/tape_project.h"

namespace reelo {

struct BlockField {
  std::string key;      // what the row holds (Type, Pilot, Text ...), the same for every block
  std::string caption;  // "Тип:"
  std::string value;    // "Bytes"
  bool editable = false;  // a timing the user may type anew (WithFieldText)
  bool operator==(const BlockField&) const = default;
};

// What the frame says of a block: its title and rows. No rows for a plain
// data record (nothing to show beyond its list line).
struct BlockFields {
  std::string title;
  std::vector<BlockField> rows;
  bool turbo = false;  // the timings can be changed (a turbo block)
};

BlockFields BlockFieldsOf(const TapeBlock& block);

// The block with its editable field `key` set from what the user typed, or
// the reason why not (Russian). The text is read as the frame shows the
// field, its unit may be left out: "900 тактов" or "900"; the pilot as
// "3000 x 1500" (pulses x T-states), the syncs as "400 / 450", a pulse
// sequence's pulses as "667, 735". Every value is checked against its
// field's range; the block's data is kept.
struct FieldEdit {
  OpResult status;
  TapeBlock block;
};
FieldEdit WithFieldText(const TapeBlock& block, const std::string& key, const std::string& text);

// A whole decimal number typed in the field called `name` ("Бит 0"), or the
// reason why the text is none. A number too large for an int comes back as
// the largest int, so that the field's range check refuses it.
OpResult ReadWholeNumber(const std::string& text, const std::string& name, int& value);

}  // namespace reelo
