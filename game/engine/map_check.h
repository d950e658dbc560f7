// The load-time check of a landscape that a reader has filled: every count, index and list
// length is held against the arrays it addresses, so that drawing and queries can trust them
// afterwards. Index 0 (none) is always allowed.
#pragma once

struct Landscape;

// Null when the landscape may be used; otherwise what is wrong with it.
const char* MAP_CheckLandscape(const Landscape* landscape);
