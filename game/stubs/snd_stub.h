// Stand-in for the sound device and sound groups of the shell until they are built.
#pragma once
#include <cstdint>

#include "win32.h"

int SND_InitDevice(HWND window);
int SND_ShutdownDevice();
// groupId is a SoundId of the group: the group in the high 16 bits (0 = the interface sounds).
int SND_LoadGroup(uint32_t groupId);
int SND_ReleaseGroup(uint32_t groupId);
