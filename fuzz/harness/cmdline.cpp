// The command line: the input is the line WinMain is given (up to its first NUL), the lobby's
// launch switches among other words, scanned as at start-up; also each word alone as a decimal.
#include <string>

#include "app/app.h"
#include "common/mem.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int ready = MEM_ResetTracker();
    (void)ready;
    const std::string line(reinterpret_cast<const char*>(data), size);
    APP_ParseCommandLine(line.c_str());
    APP_ParseDecimal(line.c_str());
    return 0;
}
