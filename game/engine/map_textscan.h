// Character input for the text map readers: the file's bytes in memory, read one character at a
// time, and a small formatted scan that behaves as the standard one does on the templates of the
// map formats: a blank in a template matches any run of white space (none included), other
// characters must match exactly, and %d (with an optional width), %f and %lf convert numbers
// after skipping white space. A scan stops at the first mismatch and leaves the mismatching
// character unread; what it converted before that stays stored.
#pragma once
#include <cstddef>
#include <cstdint>

struct MapText {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

// The next character, or -1 at the end.
int MAP_TextGetc(MapText* text);
// Puts back the character just read (never moves before the start).
void MAP_TextUngetc(MapText* text);
// Characters left to read.
size_t MAP_TextLeft(const MapText* text);
// True when the whole template matched.
bool MAP_TextScan(MapText* text, const char* format, ...);
// Skips the rest of the line, leaving its line end unread.
void MAP_TextSkipLine(MapText* text);
