// Stand-in for the positional sounds: no emitters and no speech; only the ready flags follow the
// device, and a stopped emitter is recorded.
#include "stubs/snd_pos_stub.h"

#include "stubs/trace.h"
#include "stubs/world_label.h"

uint32_t g_SndEmittersReady = 0;

namespace {
uint32_t g_SndSpeechReady = 0;
}

void SND_InitEmitters() {
    g_SndEmittersReady = 1;
}

void SND_InitSpeechSlots() {
    g_SndSpeechReady = 1;
}

void SND_ReleaseSpeechSlots() {
    g_SndSpeechReady = 0;
}

void SND_ClearEmitters() {
    g_SndEmittersReady = 0;
}

void SND_StopEmitter(Bod* emitter) {
    STUB_Trace("SND_StopEmitter", "%s", STUB_BodName(emitter));
}
