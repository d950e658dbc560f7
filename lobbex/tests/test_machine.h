// One simulated machine for the library's tests: a registry file and an install directory in a
// temporary directory, made before the first test and removed after the last. Tests that look at
// the trace files point "System Directory" at a fresh directory of their own.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kt {

// The machine's temporary root (the install's "Root Directory").
const std::string& Root();

// A new, empty directory under the root.
std::string FreshDir(const std::string& stem);

// Registry values under HKEY_LOCAL_MACHINE "Software\Brellwick\Torvane\<subkey>".
void SetText(const std::string& subkey, const std::string& name, const std::string& value);
void SetBinary(const std::string& subkey, const std::string& name, const std::vector<uint8_t>& bytes);
void SetNumber(const std::string& subkey, const std::string& name, uint32_t value);
void DeleteValue(const std::string& subkey, const std::string& name);

// Points the trace files at a fresh directory (closing the trace first) and returns it.
std::string FreshTraceDir();

std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
std::vector<std::string> Lines(const std::string& text); // split at "\n", "\r" dropped

// Runs `body` in a forked child; its exit code, or -1.
int InChild(int (*body)(void*), void* context);

}  // namespace kt
