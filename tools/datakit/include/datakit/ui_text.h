// The demo's localised interface text file as bytes: every section and key the interface reads.
#pragma once
#include <string>

namespace dk {

std::string InterfaceText();

}  // namespace dk
