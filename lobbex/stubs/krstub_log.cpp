// Notes of the stand-ins of the start and stop sequence (called from one thread).
#include "krstub_log.h"

namespace {
std::string& Notes() {
    static auto* notes = new std::string; // never destroyed: stand-ins may run at exit
    return *notes;
}
}  // namespace

void KrStubNote(const char* step) {
    Notes() += step;
    Notes() += ' ';
}

const std::string& KrStubNotes() {
    return Notes();
}

void KrStubClearNotes() {
    Notes().clear();
}
