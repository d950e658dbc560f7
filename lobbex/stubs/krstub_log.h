// The stand-ins of the start and stop sequence note each call here, in order, so that the
// sequence can be followed until the real modules replace them.
#pragma once
#include <string>

void KrStubNote(const char* step);
// The notes so far, each followed by ' '; cleared by KrStubClearNotes.
const std::string& KrStubNotes();
void KrStubClearNotes();
