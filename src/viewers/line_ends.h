// Line ends of the text files Reelo writes. The viewers end their lines as
// the window's text area takes them (the dump and the text view in CR LF);
// every file and every command-line output ends lines in LF alone, the
// convention of this platform and of the tools a listing is piped to.
#pragma once

#include <string>

namespace reelo {

// The text with every CR LF pair turned into LF; any other byte, a lone CR
// included, stays as it is.
std::string WithLfLineEnds(const std::string& text);

}  // namespace reelo
