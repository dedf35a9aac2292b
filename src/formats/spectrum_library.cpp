#include "formats/spectrum_library.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string_view>

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

// libspectrum's complaints that have a reason of their own, by a piece of
// their text; the first match wins.
struct KnownComplaint {
  std::string_view fragment;
  const char* reason;
};
constexpr KnownComplaint kKnownComplaints[] = {
    {"not enough data", "файл обрывается посреди блока"},
    {"wrong signature", "у файла неверная подпись формата"},
    {"unknown block", "в файле есть блок неизвестного типа"},
    {"unknown CSW version", "неизвестная версия формата CSW"},
    {"compression type", "неизвестный способ сжатия"},
    {"bad sample rate", "неверная частота выборки"},
    {"compressed", "сжатые данные повреждены"},
    {"inflate", "сжатые данные повреждены"},
    {"version", "неподдерживаемая версия формата"},
};

}  // namespace

void EnsureSpectrumLibrary() {
  static std::once_flag once;
  std::call_once(once, [] {
    libspectrum_error_function = CatchError;
    libspectrum_init();
  });
}

const std::string& LastSpectrumError() { return lastError; }

void ClearSpectrumError() { lastError.clear(); }

std::string SpectrumFailureReason(libspectrum_error error) {
  for (const KnownComplaint& known : kKnownComplaints) {
    if (lastError.find(known.fragment) != std::string::npos) return known.reason;
  }
  switch (error) {
    case LIBSPECTRUM_ERROR_MEMORY: return "не хватает памяти";
    case LIBSPECTRUM_ERROR_CORRUPT: return "файл повреждён";
    case LIBSPECTRUM_ERROR_SIGNATURE: return "у файла неверная подпись формата";
    case LIBSPECTRUM_ERROR_INVALID: return "файл содержит недопустимые значения";
    default: return "содержимое файла не удалось разобрать";
  }
}

SpectrumTape NewSpectrumTape() {
  EnsureSpectrumLibrary();
  return SpectrumTape(libspectrum_tape_alloc());
}

}  // namespace reelo
