// The hooks through which the floors below the game call up into it: the sound device runs the
// positional sounds' start-up and shutdown steps and announces plays over the network, the model
// code asks for the camera, particle bursts and the shock and bleed effects, and the display
// start-up resets the camera. Each hook is filled here, at compile time, with the game's own
// routine; tests may replace one for a while.
#include "engine/mdl.h"
#include "engine/rnd_display.h"
#include "net/net.h"
#include "shell/snd.h"
#include "world/cam.h"
#include "world/mdl_world.h"
#include "world/ptc.h"
#include "world/snd_pos.h"

SoundWorldHooks g_SoundWorldHooks = {
    SND_InitEmitters, SND_InitSpeechSlots, SND_ReleaseSpeechSlots, SND_ClearEmitters, NET_IsHost, NET_Broadcast,
};

ModelWorldHooks g_ModelWorldHooks = {CAM_GetState, PTC_EmitBurst, MDL_ShockEffect, MDL_BleedEffect};

void (*g_RndCameraResetHook)() = CAM_Reset;
