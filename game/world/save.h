// Save games: the single-player campaign in numbered slots, one 3000-byte file per slot
// ("data\game.N"): the level id last started, the campaign progress, the UTC time of the save,
// the team groups of levels 0..15 and a signature. Every byte is written and read field by field.
#pragma once
#include <cstddef>
#include <cstdint>

#include "win32.h"

constexpr size_t SAVE_FILE_BYTES = 3000;
constexpr size_t SAVE_STAMP_OFFSET = 18;      // hour, minute, month, day, year / 100, year % 100
constexpr size_t SAVE_GROUPS_OFFSET = 24;     // 16 groups x 4 members x 20 bytes
constexpr size_t SAVE_MEMBER_BYTES = 20;      // 2 status bytes, then 9 {item type, count} pairs
constexpr size_t SAVE_SIGNATURE_OFFSET = 1304;
inline constexpr char SAVE_SIGNATURE[] = "Ghoulden by Quorlane";  // written without its terminator
// Item types a team member can carry; a stored type outside 0..SAVE_MAX_ITEM_TYPE loads as none.
constexpr int SAVE_MAX_ITEM_TYPE = 161;

// The UTC clock of the time stamp (GetSystemTime); tests put a fixed clock in its place.
extern void (*g_SaveClock)(SYSTEMTIME* time);

// The file image of the campaign as it stands (level id, progress, time stamp from the clock,
// team groups, signature), into out[SAVE_FILE_BYTES].
void SAVE_BuildImage(uint8_t* out);
// Restores the campaign from a file image: 1 when taken. A length other than 3000, a level id
// other than 0..16 or 255 (none), or a progress value out of range (0..2, the escape flag 0..1)
// refuse the whole image (0) and change nothing. The time stamp and the signature are not read.
int SAVE_ApplyImage(const uint8_t* bytes, size_t length);

// Writes slot's file: the image goes to a temporary file beside it, which then replaces the old
// file in one step, so a save that fails leaves the previous one as it was. 1 written, 0 failed.
int SAVE_SaveGame(int slot);
// Loads slot's file: 1 when loaded; 0 when it is missing or refused (the campaign unchanged).
int SAVE_LoadGame(int slot);
