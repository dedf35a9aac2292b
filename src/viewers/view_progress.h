// What the text and dump builders tell the progress window while they work.
#pragma once

namespace reelo {

// The progress window's text while a view is being built.
inline constexpr const char* kPrepareLabel = "Подготовка...";

// The bar moves when the block byte index is a multiple of this.
inline constexpr int kViewProgressStep = 256;

// A record too short to hold data would give the bar a maximum of 0, which a
// progress bar shows as an endless busy indicator; it gets this instead.
inline constexpr long long kMinViewProgressMaximum = 1;

}  // namespace reelo
