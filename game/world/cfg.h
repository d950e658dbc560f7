// The settings loaders: the options file ("data\if_op.dat", one line, each setting one character
// whose code is the value + 32) and the network options file ("data\if_mpop.dat": player name,
// address, connection string, phone number, com port, baud rate, stop bits, parity, flow
// control, one per line). Both files are written with CR LF line ends; a missing file keeps the
// defaults. Also the key map and lighting accessors.
#pragma once
#include <cstddef>
#include <cstdint>

// The display modes 0..7 that work on this machine (the display probe fills it; all usable until
// then).
extern int32_t g_DisplayModeUsable[8];

// Reads the options file into g_Options: 1 when read, 0 when it is missing.
int CFG_LoadOptions();
// Reads the network options file into the player name and the network settings: 1 when read, 0
// when it is missing.
int CFG_LoadNetOptions();

// The parsers of the two files' contents. The options line is read up to its line end (at most
// 254 characters); a position the line does not reach keeps its setting, and each value is
// clamped to its range (display mode: an unusable one falls back to 7 or 6; on/off settings 0..1;
// volume step 0..15). The network options lines lose their CR and LF; the name keeps at most 16
// characters; numbers are read as decimals and handed to the setters, which refuse what is out of
// range; the baud rate must be one of the listed rates exactly.
void CFG_ReadOptions(const uint8_t* bytes, size_t length);
void CFG_ReadNetOptions(const uint8_t* bytes, size_t length);

// Key map entries 34, 35 and 33: turn left, turn right, move backward.
int CFG_GetKeyTurnLeft();
int CFG_GetKeyTurnRight();
int CFG_GetKeyBackward();

// The lighting toggles of the options file (positions 7 and 8).
int CFG_GetWorldLightingOption();
int CFG_GetModelLightingOption();
