// The demo install that `make demo` plays: every file the game asks for, in the project's own
// placeholder art and words, and DIR/registry.ini whose install paths point at DIR.
#pragma once
#include <string>

namespace dk {

// Writes the whole demo data set into dir; false with a message on stderr when a file fails.
bool WriteDemo(const std::string& dir);

}  // namespace dk
