// Playing sounds: the 32 shared playback slots, plays once, at a volume, looped and at a world
// position with the distance rule, and the network game's rules and announcements.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/calltrace.h"
#include "common/match.h"
#include "shell/snd.h"
#include "shell/snd_device.h"

SoundSlot g_SoundSlots[SND_SLOT_COUNT] = {};
SoundSlot g_SndEmptySlot = {nullptr};
float g_SndListener[3] = {0.0f, 0.0f, 0.0f};
uint32_t g_SndEmittersReady = 0;
uint32_t g_SndSlotFailures = 0;

namespace {

void (*g_SndTrace)(const char*) = nullptr;

// The graveyard's lightning and bell never play in a network game.
constexpr SoundId kLightning = 0x20001;
constexpr SoundId kBell = 0x20002;
// Plays announced to the other machines: the host's range and a client's.
constexpr SoundId kFirstAnnounced = 0x1000B;
constexpr SoundId kLastHostAnnounced = 0x120005;
constexpr SoundId kLastClientAnnounced = 0x10057;
constexpr LONG kFullVolume = 0;

bool SND_IsNetworkHost() {
    return g_SoundWorldHooks.isHost && g_SoundWorldHooks.isHost();
}

bool SND_IsBarredInNetworkGame(SoundId id) {
    return APP_IsMultiplayerGame() && (id == kLightning || id == kBell);
}

bool SND_IsAnnounced(SoundId id) {
    if (!APP_IsMultiplayerGame() || id < kFirstAnnounced)
        return false;
    return id <= (SND_IsNetworkHost() ? kLastHostAnnounced : kLastClientAnnounced);
}

void SND_Announce(const uint8_t* bytes, int length) {
    if (g_SoundWorldHooks.broadcast)
        g_SoundWorldHooks.broadcast(APP_GetLocalPlayerSlot(), bytes, length);
}

// The shared part of SND_Play and SND_PlayAtVolume.
SoundSlot* SND_PlayOnce(SoundId id, LONG attenuation) {
    if (APP_IsPlayHalted() || SND_IsBarredInNetworkGame(id))
        return nullptr;
    SoundSlot* slot = SND_GetPlayableBuffer(SND_FindEntry(id));
    if (!slot->buffer)
        return nullptr;
    // The announcement goes out before a client leaves the sound to the host.
    if (SND_IsAnnounced(id)) {
        uint8_t message[SND_MSG_PLAY_BYTES];
        SND_BuildPlayMessage(id, message);
        SND_Announce(message, SND_MSG_PLAY_BYTES);
    }
    if (APP_IsMultiplayerGame() && !SND_IsNetworkHost() && id >= kFirstAnnounced)
        return nullptr;
    slot->buffer->SetVolume(attenuation);
    slot->buffer->Play(0, 0, 0);
    return slot;
}

void SND_PutLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

void SND_PutFloat(uint8_t* p, float f) {
    uint32_t bits;
    static_assert(sizeof bits == sizeof f);
    std::memcpy(&bits, &f, sizeof bits);
    SND_PutLe32(p, bits);
}

}  // namespace

void SND_Trace(const char* name, const char* format, ...) {
    va_list list;
    va_start(list, format);
    TRC_ReportV(g_SndTrace, name, format, list);
    va_end(list);
}

void SND_SetCallTrace(void (*trace)(const char* entry)) {
    g_SndTrace = trace;
}

SoundSlot* SND_GetPlayableBuffer(SoundEntry* entry) {
    if (!entry || !entry->buffer)
        return &g_SndEmptySlot;
    // Walk to the first free slot; the first finished sound met on the way gives up its slot.
    int free = -1;
    for (int i = 0; i < SND_SLOT_COUNT; ++i) {
        SoundSlot& slot = g_SoundSlots[i];
        if (!slot.buffer) {
            free = i;
            break;
        }
        DWORD status = 0;
        if (SUCCEEDED(slot.buffer->GetStatus(&status)) && status == 0) {
            slot.buffer->Release();
            slot.buffer = nullptr;
            free = i;
            break;
        }
    }
    if (free < 0) {
        ++g_SndSlotFailures;
        return &g_SndEmptySlot;
    }
    SoundSlot& slot = g_SoundSlots[free];
    const HRESULT result = g_DirectSound ? g_DirectSound->DuplicateSoundBuffer(entry->buffer, &slot.buffer)
                                         : DSERR_UNINITIALIZED;
    if (FAILED(result) || !slot.buffer) {
        slot.buffer = nullptr;
        if (const char* text = SND_ErrorText(result))
            g_SndLastError = text;
        ++g_SndSlotFailures;
        return &g_SndEmptySlot;
    }
    return &slot;
}

SoundSlot* SND_PrepareBuffer(SoundEntry* entry) {
    return SND_GetPlayableBuffer(entry);
}

void SND_ReleasePlaybackSlots() {
    for (SoundSlot& slot : g_SoundSlots) {
        if (!slot.buffer)
            continue;
        slot.buffer->Stop();
        slot.buffer->Release();
        slot.buffer = nullptr;
    }
}

SoundSlot* SND_Play(SoundId id) {
    SND_Trace("SND_Play", "0x%X", id);
    return SND_PlayOnce(id, kFullVolume);
}

SoundSlot* SND_PlayAtVolume(SoundId id, int volume) {
    SND_Trace("SND_PlayAtVolume", "0x%X,%d", id, volume);
    return SND_PlayOnce(id, SND_PercentToAttenuation(volume));
}

SoundSlot* SND_PlayLooped(SoundId id) {
    SND_Trace("SND_PlayLooped", "0x%X", id);
    SoundEntry* entry = SND_FindEntry(id);
    if (APP_IsPlayHalted())
        return nullptr;
    SoundSlot* slot = SND_GetPlayableBuffer(entry);
    if (!slot->buffer)
        return nullptr;
    slot->buffer->SetVolume(kFullVolume);
    slot->buffer->Play(0, 0, DSBPLAY_LOOPING);
    return slot;
}

void SND_StopBuffer(SoundSlot* slot) {
    if (slot && slot->buffer)
        slot->buffer->Stop();
}

int SND_SphereVolume(const float* position, int* pan, int* attenuation, int volume, float radius) {
    *pan = 0;
    const float deltaX = g_SndListener[0] - position[0];
    const float deltaZ = g_SndListener[2] - position[2];
    const float d2 = deltaX * deltaX + deltaZ * deltaZ;
    const float r2 = radius * radius;
    if (deltaX > radius || deltaZ > radius || !(d2 < r2))
        return 0;
    float f = 1.0f - d2 / r2;
    if (!(f > 0.0f))
        return 0;
    if (f > 1.0f)
        f = 1.0f;
    *attenuation = SND_PercentToAttenuation(static_cast<int>(static_cast<float>(volume) * f));
    return 1;
}

void SND_PlayAt(SoundId id, const float* position, int volume, float radius) {
    SND_Trace("SND_PlayAt", "0x%X,%d", id, volume);
    if (APP_IsPlayHalted() || SND_IsBarredInNetworkGame(id) || !SND_IsReady())
        return;
    SoundEntry* entry = SND_FindEntry(id);
    if (!entry->buffer)
        return;
    if (SND_IsAnnounced(id)) {
        uint8_t message[SND_MSG_PLAY_AT_BYTES];
        SND_BuildPlayAtMessage(id, position, volume, radius, message);
        SND_Announce(message, SND_MSG_PLAY_AT_BYTES);
    }
    int pan = 0, attenuation = 0;
    if (!SND_SphereVolume(position, &pan, &attenuation, volume, radius))
        return;
    SoundSlot* slot = SND_GetPlayableBuffer(entry);
    if (!slot->buffer)
        return;
    slot->buffer->SetVolume(attenuation);
    slot->buffer->Play(0, 0, 0);
}

int SND_IsReady() {
    return g_SndEmittersReady ? 1 : 0;
}

void SND_BuildPlayMessage(SoundId id, uint8_t out[SND_MSG_PLAY_BYTES]) {
    out[0] = SND_MSG_PLAY;
    out[1] = out[2] = out[3] = 0;
    SND_PutLe32(out + 4, id);
}

void SND_BuildPlayAtMessage(SoundId id, const float* position, int volume, float radius,
                            uint8_t out[SND_MSG_PLAY_AT_BYTES]) {
    out[0] = SND_MSG_PLAY_AT;
    out[1] = out[2] = out[3] = 0;
    SND_PutLe32(out + 4, id);
    SND_PutFloat(out + 8, position[0]);
    SND_PutFloat(out + 12, position[1]);
    SND_PutFloat(out + 16, position[2]);
    SND_PutLe32(out + 20, static_cast<uint32_t>(volume));
    SND_PutFloat(out + 24, radius);
}
