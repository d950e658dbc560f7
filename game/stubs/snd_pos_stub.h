// Stand-in for the positional sounds (emitters, zones, ambience, character speech) until they are
// built: the emitter list's ready flag and the device start-up and shutdown steps that the sound
// device calls.
#pragma once
#include <cstdint>

// 1 while the emitter list is ready (between device start-up and shutdown).
extern uint32_t g_SndEmittersReady;

// Device start-up: an empty emitter list, made ready; every voice row free, made ready.
void SND_InitEmitters();
void SND_InitSpeechSlots();
// Device shutdown, in this order, before the playback slots and groups go.
void SND_ReleaseSpeechSlots();
void SND_ClearEmitters();

// Stops the looping sound of a world object's emitter; recorded with the object's name.
struct Bod;
void SND_StopEmitter(Bod* emitter);
