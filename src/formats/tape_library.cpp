#include "formats/tape_library.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace reelo {
namespace {

thread_local std::string lastError;

libspectrum_error CatchError(libspectrum_error error, const char* format, va_list ap) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, ap);
  // Warnings come before errors on some paths; the error is what explains a failure.
  if (error != LIBSPECTRUM_ERROR_WARNING || lastError.empty()) lastError = text;
  return error;
}

}  // namespace

void EnsureSpectrumLibrary() {
  static std::once_flag once;
  std::call_once(once, [] {
    libspectrum_error_function = CatchError;
    libspectrum_init();
  });
}

const std::string& LastSpectrumError() { return lastError; }

SpectrumTape NewSpectrumTape() {
  EnsureSpectrumLibrary();
  return SpectrumTape(libspectrum_tape_alloc());
}

}  // namespace reelo
