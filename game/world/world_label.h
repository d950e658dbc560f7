// A short readable name of a bod for the stand-ins' call trace: "player2", "npc7", or the class
// ("object", "static", ...) for others.
#pragma once

struct Bod;

const char* BOD_TraceLabel(const Bod* bod);
