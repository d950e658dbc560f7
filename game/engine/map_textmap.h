// The state shared by the parts of the text map readers (records, object blocks, frame lists).
#pragma once
#include <cstdint>

#include "engine/map_textscan.h"

struct Landscape;

enum MapDialect { MAP_DIALECT_ALM, MAP_DIALECT_BLM, MAP_DIALECT_CLM };

struct MapTextReader {
    MapText text;
    MapDialect dialect;
    Landscape* landscape;
    bool haveTotals;      // the totals record has been read and the arrays made
    const char* refusal;  // set when the map is refused; reading stops
};

// Refuses the map with the reason (the first reason wins).
void MAP_TextRefuse(MapTextReader* reader, const char* what);
// value into a 16-bit field; a value that does not fit refuses the map.
void MAP_TextStoreU16(MapTextReader* reader, int value, uint16_t* field, const char* what);
// A frame count into a 16-bit signed field; more than the frame list holds refuses the map, and
// a count below 0 is stored as 0 (no frames).
void MAP_TextStoreFrameCount(MapTextReader* reader, int value, int16_t* field);
// count frame numbers: each is the next run of decimal digits (anything else, signs included,
// is skipped). False when the text ends first or a number does not fit (which refuses the map).
bool MAP_TextReadFrameList(MapTextReader* reader, uint16_t* frames, int count);
// After a frame list: entries from frameCount on repeat frames[0], which becomes the current
// texture; the rest of the line is skipped.
void MAP_TextFinishFrames(MapTextReader* reader, uint16_t* frames, int frameCount, uint16_t* currentTexture);
// The object block after its 'O' tag and index; object is the record to fill, or a scratch
// record when the index lies outside the objects. Nothing is looked up in the landscape: the
// object's surface stays 0 until the object is set up after the map check.
void MAP_TextReadObject(MapTextReader* reader, struct LandscapeObject* object);
