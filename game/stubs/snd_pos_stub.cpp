// Stand-in for the positional sounds: no emitters and no speech; only the ready flags follow the
// device, and a stopped emitter is recorded.
#include "world/snd_pos.h"

#include "common/calltrace.h"
#include "world/world_label.h"

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
    TRC_Trace("SND_StopEmitter", "%s", BOD_TraceLabel(emitter));
}

SoundEmitter* SND_PlayOnObject(void* record, SoundId id, int volume, uint32_t looping, float radius) {
    TRC_Trace("SND_PlayOnObject", "%s,0x%x,%d,%u,%.0f", BOD_TraceLabelOfRecord(record), id, volume, looping, radius);
    return nullptr;
}

void SND_StopAllEmitters() {
    TRC_Trace("SND_StopAllEmitters");
}
