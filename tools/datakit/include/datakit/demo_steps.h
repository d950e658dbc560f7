// The pieces of the demo install, one function per kind of data; demo.cpp runs them in order.
// Each writes its files under dir (the install root) and returns false on failure.
#pragma once
#include <string>

namespace dk {

bool DemoRegistry(const std::string& dir);  // DIR/registry.ini with SourcePath and TargetPath

}  // namespace dk
