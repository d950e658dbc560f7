// Notes of the stand-ins of the start and stop sequence (called from one thread).
#include "krstub_log.h"

#include "lobbex_exports.h"

namespace {
std::string& Notes() {
    static auto* notes = new std::string; // never destroyed: stand-ins may run at exit
    return *notes;
}
}  // namespace

void KrStubNote(const char* step) {
    Notes() += step;
    Notes() += ' ';
    // Also into the trace, where it lines up with the real modules' API call lines.
    if (KrGetTrace() & 0x01000000u) KrTraceMsg((std::string("stub ") + step).c_str());
}

const std::string& KrStubNotes() {
    return Notes();
}

void KrStubClearNotes() {
    Notes().clear();
}
