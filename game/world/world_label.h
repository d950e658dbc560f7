// A short readable name of a bod for the stand-ins' call trace: "player2", "npc7", or the class
// ("object", "static", ...) for others.
#pragma once

struct Bod;

const char* BOD_TraceLabel(const Bod* bod);
// The same for the bod whose control record this is ("null" when no bod of the world has it).
const char* BOD_TraceLabelOfRecord(const void* control);
