// Stand-in for the positional sounds (emitters, zones, ambience, character speech) until they are
// built: the device start-up and shutdown steps that the sound device runs through its hooks
// (the emitter list's ready flag, g_SndEmittersReady, is the sound device's).
#pragma once
#include <cstdint>

#include "shell/snd.h"

// Device start-up: an empty emitter list, made ready; every voice row free, made ready.
void SND_InitEmitters();
void SND_InitSpeechSlots();
// Device shutdown, in this order, before the playback slots and groups go.
void SND_ReleaseSpeechSlots();
void SND_ClearEmitters();

// Stops the looping sound of a world object's emitter; recorded with the object's name.
struct Bod;
void SND_StopEmitter(Bod* emitter);
// Stops and frees every emitter of the level (level unload); recorded.
void SND_StopAllEmitters();

// Plays a sound on a character or object record (volume in percent, looping flag, radius): the
// stand-in records it with the record's label and plays nothing.
struct SoundEmitter;
SoundEmitter* SND_PlayOnObject(void* record, SoundId id, int volume, uint32_t looping, float radius);
