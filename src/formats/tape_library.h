// The few things every use of libspectrum needs: one initialisation, its error
// texts caught instead of printed, and its tapes freed on every way out.
#pragma once

#include <libspectrum.h>

#include <memory>
#include <string>

namespace reelo {

// Initialises libspectrum once per process and routes its error texts to
// LastSpectrumError instead of standard error. Safe to call any number of times.
void EnsureSpectrumLibrary();

// The text of libspectrum's last complaint on this thread ("" if none).
const std::string& LastSpectrumError();

struct SpectrumTapeFree {
  void operator()(libspectrum_tape* tape) const { libspectrum_tape_free(tape); }
};
using SpectrumTape = std::unique_ptr<libspectrum_tape, SpectrumTapeFree>;

// A new empty tape (libspectrum aborts the process when memory runs out, so
// this never returns null).
SpectrumTape NewSpectrumTape();

}  // namespace reelo
