// reelo-cli loads the libraries of its rarer paths when a command first calls
// them, not at every start: libspectrum (CSW files and the signal of TZX tones
// and pulses) with glib and libgcrypt behind it, libsndfile (recordings) with
// its codecs, libsoxr (a recording's preparation) and libpng (a screen as a
// picture) together cost more at start-up than a whole small conversion.
//
// Each function of theirs that the program calls is defined here under its
// own name, so the linker takes these instead of the libraries (which then
// drop out of the program's list with --as-needed); the first call opens the
// library and every call goes on to its own function. Each definition
// repeats the library header's declaration, so the compiler refuses one that
// does not match. Only reelo-cli is linked with this file; the tests and the
// window program call the libraries directly.
#include <dlfcn.h>
#include <libspectrum.h>
#include <png.h>
#include <sndfile.h>
#include <soxr.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>

namespace {

struct LazyLibrary {
  const char* name;  // the file name the program was linked against
  std::once_flag opened;
  void* handle = nullptr;
};

LazyLibrary spectrumLibrary{"libspectrum.so.8", {}, nullptr};
LazyLibrary sndfileLibrary{"libsndfile.so.1", {}, nullptr};
LazyLibrary soxrLibrary{"libsoxr.so.0", {}, nullptr};
LazyLibrary pngLibrary{"libpng16.so.16", {}, nullptr};

// A library or function that cannot be found is a broken installation: the
// command cannot go on, so the program says which and stops with status 2.
[[noreturn]] void Missing(const LazyLibrary& library, const char* reason) {
  const std::string text = std::string("reelo-cli: не удалось загрузить библиотеку ") + library.name +
                           ", нужную этой команде: " + (reason ? reason : "причина неизвестна") + "\n";
  const ssize_t written = write(STDERR_FILENO, text.data(), text.size());
  static_cast<void>(written);
  _exit(2);
}

void* Resolve(LazyLibrary& library, const char* symbol) {
  std::call_once(library.opened, [&library] { library.handle = dlopen(library.name, RTLD_NOW | RTLD_LOCAL); });
  if (library.handle == nullptr) Missing(library, dlerror());
  void* address = dlsym(library.handle, symbol);
  if (address == nullptr) Missing(library, dlerror());
  return address;
}

}  // namespace

// The library's own function of that name, looked up once.
#define REELO_REAL(library, function) \
  static const auto real = reinterpret_cast<decltype(&::function)>(Resolve(library, #function))

extern "C" {

// ---- libspectrum ----

// Set before libspectrum_init (as the program does) and handed to the library then.
libspectrum_error_function_t libspectrum_error_function = nullptr;

libspectrum_error libspectrum_init(void) {
  REELO_REAL(spectrumLibrary, libspectrum_init);
  auto* theirs = static_cast<libspectrum_error_function_t*>(Resolve(spectrumLibrary, "libspectrum_error_function"));
  if (libspectrum_error_function != nullptr) *theirs = libspectrum_error_function;
  const libspectrum_error result = real();
  if (libspectrum_error_function != nullptr) *theirs = libspectrum_error_function;
  return result;
}

libspectrum_tape* libspectrum_tape_alloc(void) {
  REELO_REAL(spectrumLibrary, libspectrum_tape_alloc);
  return real();
}

libspectrum_error libspectrum_tape_free(libspectrum_tape* tape) {
  REELO_REAL(spectrumLibrary, libspectrum_tape_free);
  return real(tape);
}

libspectrum_error libspectrum_tape_read(libspectrum_tape* tape, const libspectrum_byte* buffer, size_t length,
                                        libspectrum_id_t type, const char* filename) {
  REELO_REAL(spectrumLibrary, libspectrum_tape_read);
  return real(tape, buffer, length, type, filename);
}

// The edge flags are the library's constants, read from it at run time. Here
// they get values of their own (one bit each), and the flags of every edge
// are translated from the library's bits into these.
const int LIBSPECTRUM_TAPE_FLAGS_BLOCK = 1 << 0;
const int LIBSPECTRUM_TAPE_FLAGS_STOP = 1 << 1;
const int LIBSPECTRUM_TAPE_FLAGS_STOP48 = 1 << 2;
const int LIBSPECTRUM_TAPE_FLAGS_NO_EDGE = 1 << 3;
const int LIBSPECTRUM_TAPE_FLAGS_LEVEL_LOW = 1 << 4;
const int LIBSPECTRUM_TAPE_FLAGS_LEVEL_HIGH = 1 << 5;
const int LIBSPECTRUM_TAPE_FLAGS_LENGTH_SHORT = 1 << 6;
const int LIBSPECTRUM_TAPE_FLAGS_LENGTH_LONG = 1 << 7;
const int LIBSPECTRUM_TAPE_FLAGS_TAPE = 1 << 8;

}  // extern "C"

namespace {

struct EdgeFlag {
  int theirs;
  int ours;
};

EdgeFlag Flag(const char* name, int ours) {
  return {*static_cast<const int*>(Resolve(spectrumLibrary, name)), ours};
}

int OurEdgeFlags(int theirs) {
  static const EdgeFlag table[] = {
      Flag("LIBSPECTRUM_TAPE_FLAGS_BLOCK", LIBSPECTRUM_TAPE_FLAGS_BLOCK),
      Flag("LIBSPECTRUM_TAPE_FLAGS_STOP", LIBSPECTRUM_TAPE_FLAGS_STOP),
      Flag("LIBSPECTRUM_TAPE_FLAGS_STOP48", LIBSPECTRUM_TAPE_FLAGS_STOP48),
      Flag("LIBSPECTRUM_TAPE_FLAGS_NO_EDGE", LIBSPECTRUM_TAPE_FLAGS_NO_EDGE),
      Flag("LIBSPECTRUM_TAPE_FLAGS_LEVEL_LOW", LIBSPECTRUM_TAPE_FLAGS_LEVEL_LOW),
      Flag("LIBSPECTRUM_TAPE_FLAGS_LEVEL_HIGH", LIBSPECTRUM_TAPE_FLAGS_LEVEL_HIGH),
      Flag("LIBSPECTRUM_TAPE_FLAGS_LENGTH_SHORT", LIBSPECTRUM_TAPE_FLAGS_LENGTH_SHORT),
      Flag("LIBSPECTRUM_TAPE_FLAGS_LENGTH_LONG", LIBSPECTRUM_TAPE_FLAGS_LENGTH_LONG),
      Flag("LIBSPECTRUM_TAPE_FLAGS_TAPE", LIBSPECTRUM_TAPE_FLAGS_TAPE),
  };
  int ours = 0;
  for (const EdgeFlag& flag : table) {
    if ((theirs & flag.theirs) != 0) ours |= flag.ours;
  }
  return ours;
}

}  // namespace

extern "C" {

libspectrum_error libspectrum_tape_get_next_edge(libspectrum_dword* tstates, int* flags, libspectrum_tape* tape) {
  REELO_REAL(spectrumLibrary, libspectrum_tape_get_next_edge);
  int theirs = 0;
  const libspectrum_error result = real(tstates, &theirs, tape);
  *flags = OurEdgeFlags(theirs);
  return result;
}

libspectrum_tape_block* libspectrum_tape_current_block(libspectrum_tape* tape) {
  REELO_REAL(spectrumLibrary, libspectrum_tape_current_block);
  return real(tape);
}

libspectrum_error libspectrum_tape_nth_block(libspectrum_tape* tape, int n) {
  REELO_REAL(spectrumLibrary, libspectrum_tape_nth_block);
  return real(tape, n);
}

libspectrum_tape_block* libspectrum_tape_iterator_init(libspectrum_tape_iterator* iterator, libspectrum_tape* tape) {
  REELO_REAL(spectrumLibrary, libspectrum_tape_iterator_init);
  return real(iterator, tape);
}

libspectrum_tape_block* libspectrum_tape_iterator_next(libspectrum_tape_iterator* iterator) {
  REELO_REAL(spectrumLibrary, libspectrum_tape_iterator_next);
  return real(iterator);
}

libspectrum_tape_type libspectrum_tape_block_type(libspectrum_tape_block* block) {
  REELO_REAL(spectrumLibrary, libspectrum_tape_block_type);
  return real(block);
}

// The block's fields that take only the block.
#define REELO_BLOCK_FIELD(type, function)           \
  type function(libspectrum_tape_block* block) {    \
    REELO_REAL(spectrumLibrary, function);          \
    return real(block);                             \
  }
REELO_BLOCK_FIELD(libspectrum_dword, libspectrum_tape_block_bit0_length)
REELO_BLOCK_FIELD(libspectrum_dword, libspectrum_tape_block_bit1_length)
REELO_BLOCK_FIELD(libspectrum_byte, libspectrum_tape_block_bit0_pulse_count)
REELO_BLOCK_FIELD(libspectrum_byte, libspectrum_tape_block_bit1_pulse_count)
REELO_BLOCK_FIELD(size_t, libspectrum_tape_block_bits_in_last_byte)
REELO_BLOCK_FIELD(size_t, libspectrum_tape_block_count)
REELO_BLOCK_FIELD(libspectrum_byte*, libspectrum_tape_block_data)
REELO_BLOCK_FIELD(size_t, libspectrum_tape_block_data_length)
REELO_BLOCK_FIELD(libspectrum_dword, libspectrum_tape_block_pilot_length)
REELO_BLOCK_FIELD(libspectrum_dword, libspectrum_tape_block_sync1_length)
REELO_BLOCK_FIELD(libspectrum_dword, libspectrum_tape_block_sync2_length)
#undef REELO_BLOCK_FIELD

libspectrum_word libspectrum_tape_block_bit0_pulses(libspectrum_tape_block* block, size_t idx) {
  REELO_REAL(spectrumLibrary, libspectrum_tape_block_bit0_pulses);
  return real(block, idx);
}

libspectrum_word libspectrum_tape_block_bit1_pulses(libspectrum_tape_block* block, size_t idx) {
  REELO_REAL(spectrumLibrary, libspectrum_tape_block_bit1_pulses);
  return real(block, idx);
}

// ---- libsndfile ----

SNDFILE* sf_open_fd(int fd, int mode, SF_INFO* sfinfo, int close_desc) {
  REELO_REAL(sndfileLibrary, sf_open_fd);
  return real(fd, mode, sfinfo, close_desc);
}

int sf_command(SNDFILE* sndfile, int command, void* data, int datasize) {
  REELO_REAL(sndfileLibrary, sf_command);
  return real(sndfile, command, data, datasize);
}

sf_count_t sf_seek(SNDFILE* sndfile, sf_count_t frames, int whence) {
  REELO_REAL(sndfileLibrary, sf_seek);
  return real(sndfile, frames, whence);
}

sf_count_t sf_readf_float(SNDFILE* sndfile, float* ptr, sf_count_t frames) {
  REELO_REAL(sndfileLibrary, sf_readf_float);
  return real(sndfile, ptr, frames);
}

sf_count_t sf_readf_short(SNDFILE* sndfile, short* ptr, sf_count_t frames) {
  REELO_REAL(sndfileLibrary, sf_readf_short);
  return real(sndfile, ptr, frames);
}

int sf_close(SNDFILE* sndfile) {
  REELO_REAL(sndfileLibrary, sf_close);
  return real(sndfile);
}

// ---- libsoxr ----

soxr_t soxr_create(double input_rate, double output_rate, unsigned num_channels, soxr_error_t* error,
                   soxr_io_spec_t const* io_spec, soxr_quality_spec_t const* quality_spec,
                   soxr_runtime_spec_t const* runtime_spec) {
  REELO_REAL(soxrLibrary, soxr_create);
  return real(input_rate, output_rate, num_channels, error, io_spec, quality_spec, runtime_spec);
}

soxr_error_t soxr_process(soxr_t resampler, soxr_in_t in, size_t ilen, size_t* idone, soxr_out_t out, size_t olen,
                          size_t* odone) {
  REELO_REAL(soxrLibrary, soxr_process);
  return real(resampler, in, ilen, idone, out, olen, odone);
}

void soxr_delete(soxr_t resampler) {
  REELO_REAL(soxrLibrary, soxr_delete);
  real(resampler);
}

soxr_quality_spec_t soxr_quality_spec(unsigned long recipe, unsigned long flags) {
  REELO_REAL(soxrLibrary, soxr_quality_spec);
  return real(recipe, flags);
}

soxr_io_spec_t soxr_io_spec(soxr_datatype_t itype, soxr_datatype_t otype) {
  REELO_REAL(soxrLibrary, soxr_io_spec);
  return real(itype, otype);
}

// ---- libpng ----

void png_image_free(png_imagep image) {
  REELO_REAL(pngLibrary, png_image_free);
  real(image);
}

int png_image_write_to_memory(png_imagep image, void* memory, png_alloc_size_t* PNG_RESTRICT memory_bytes,
                              int convert_to_8_bit, const void* buffer, png_int_32 row_stride,
                              const void* colormap) {
  REELO_REAL(pngLibrary, png_image_write_to_memory);
  return real(image, memory, memory_bytes, convert_to_8_bit, buffer, row_stride, colormap);
}

}  // extern "C"
