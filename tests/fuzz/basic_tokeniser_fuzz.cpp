// The BASIC tokeniser under arbitrary text. Every program it accepts must be
// well formed (ascending line numbers 0..9999, each line's length field
// matching and ending in 13), and a program typed in plain printable ASCII
// must come back byte for byte when its Spectrum-style listing is tokenised
// again. Text with raw control or 8-bit bytes or "\{N}" escapes can put any
// byte anywhere (a number marker inside a string, say), where LIST itself
// would show something else, so only the first check applies to it.
#include <string>
#include <string_view>

#include "blocks/basic_tokeniser.h"
#include "blocks/block_makers.h"
#include "fuzz_support.h"
#include "viewers/basic_listing.h"

namespace {

bool PlainText(std::string_view text) {
  if (text.find("\\{") != std::string_view::npos) return false;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 32 && byte != '\n') || byte > 126) return false;
  }
  return true;
}

void CheckLines(const std::vector<std::uint8_t>& bytes) {
  std::size_t at = 0;
  int previous = -1;
  while (at < bytes.size()) {
    FUZZ_CHECK(at + 4 <= bytes.size());
    const int number = bytes[at] * 256 + bytes[at + 1];
    const std::size_t length = bytes[at + 2] + 256u * bytes[at + 3];
    FUZZ_CHECK(number > previous && number <= reelo::kMaxBasicLine);
    FUZZ_CHECK(length >= 1 && at + 4 + length <= bytes.size());
    FUZZ_CHECK(bytes[at + 4 + length - 1] == 13);
    previous = number;
    at += 4 + length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const reelo::TokenisedProgram program = reelo::TokeniseBasic(text);
  if (!program.status.ok()) {
    FUZZ_CHECK(!program.status.message.empty());
    FUZZ_CHECK(program.bytes.empty());
    return 0;
  }
  CheckLines(program.bytes);
  if (!PlainText(text) || program.bytes.empty()) return 0;
  const std::string listing = reelo::BuildSpectrumListing(reelo::MakeDataRecord(program.bytes));
  const reelo::TokenisedProgram again = reelo::TokeniseBasic(listing);
  FUZZ_CHECK(again.status.ok());
  FUZZ_CHECK(again.bytes == program.bytes);
  return 0;
}
