// Sound effects: sound ids, sound groups loaded from .aud files into static DirectSound buffers,
// the 32 shared playback slots, playing once, looped, at a volume or at a world position with the
// distance rule, and the announcements of plays in a network game (messages 10 and 11). The
// device itself and the volume curve are snd_device.h. Main thread only.
//
// A slot handed out by a play belongs to the slot table: the caller may stop its buffer but never
// releases it. A caller that keeps a slot past the end of its sound may find it recycled for
// another sound by a later play, and a stop then stops that other sound; this is how the slots
// are shared, and callers that keep slots (the looping sounds) stop them while they still play.
#pragma once
#include <cstdint>

#include "dsound.h"

// Group number in the high 16 bits, 1-based index within the group in the low 16 bits.
typedef uint32_t SoundId;
constexpr SoundId SND_NO_SOUND = 0xFFFFFFFFu;  // "no sound" where a table allows one
constexpr SoundId SND_MakeId(uint32_t group, uint32_t index) {
    return (group << 16) | index;
}

// One sound of a group. Arrays of entries are indexed from 1 (element 0 holds no sound) and end
// with an element whose file name is null.
struct SoundEntry {
    LPDIRECTSOUNDBUFFER buffer;  // the loaded static buffer, or null
    uint32_t bytes;              // size of the loaded sample data
    const char* fileName;        // "sounds\<stem>.aud"
};

// A playback slot: a duplicate of an entry's buffer, or null.
struct SoundSlot {
    LPDIRECTSOUNDBUFFER buffer;
};

constexpr int SND_GROUP_COUNT = 19;  // groups 0..18: interface, common, the 17 levels
constexpr int SND_SLOT_COUNT = 32;

// The sound group table: each group's entry array and its number of sounds.
struct SoundGroup {
    SoundEntry* entries;
    int count;
};
extern SoundGroup g_SoundGroups[SND_GROUP_COUNT];

extern SoundSlot g_SoundSlots[SND_SLOT_COUNT];
// Returned for an unknown id and when no slot can be had: never null, never with a buffer.
extern SoundEntry g_SndEmptyEntry;
extern SoundSlot g_SndEmptySlot;

// The listener (x, y, z) that every distance rule measures from, in x and z only; the positional
// sounds copy it at each update. (0, 0, 0) before the first.
extern float g_SndListener[3];

// Diagnostics.
extern uint32_t g_SndLoadedBytes;    // sample data loaded now
extern uint32_t g_SndPeakBytes;      // the peak of that
extern uint32_t g_SndMissCount;      // lookups of ids with nothing loaded
extern uint32_t g_SndSlotFailures;   // plays that got no slot
extern const char* g_SndLastError;   // text of the last DirectSound failure, or null

// What the sound device asks of the game above it, set by the world (world/hooks.cpp): the
// positional sounds' start-up and shutdown steps that the device runs with its own, and the
// network game's host test and broadcast for announced plays. A null entry is skipped (no
// network: not the host, nothing sent).
struct SoundWorldHooks {
    void (*initEmitters)();         // device start-up: an empty emitter list, made ready
    void (*initSpeechSlots)();      // device start-up: every voice row free, made ready
    void (*releaseSpeechSlots)();   // device shutdown, before the emitters
    void (*clearEmitters)();        // device shutdown, before the playback slots and groups
    int (*isHost)();
    int (*broadcast)(int fromSlot, const uint8_t* bytes, int length);
};
extern SoundWorldHooks g_SoundWorldHooks;
// 1 while the positional sounds' emitter list is ready (between device start-up and shutdown);
// the positional sounds set it.
extern uint32_t g_SndEmittersReady;

// The DirectSound object of the open device (snd_device.cpp), null while closed.
extern LPDIRECTSOUND g_DirectSound;

// Groups and files.
// Loads every entry of group id >> 16 (the index half is ignored); groups 19 and up load nothing.
void SND_LoadGroup(SoundId id);
// Stops and releases the playback slots, then every buffer of the group.
void SND_ReleaseGroup(SoundId id);
// Releases the buffers of every group (device shutdown).
void SND_ReleaseAllGroups();
// The entry of id when it is loaded, else the shared empty entry (counting a miss).
SoundEntry* SND_FindEntry(SoundId id);
// Loads an entry's .aud file through the archive layer into a static buffer: 1, or 0 with the
// entry left unloaded (no device, no file, or a header or data that does not hold together).
int SND_LoadAud(SoundEntry* entry);
// The same for a speech slot's entry.
int SND_LoadSpeechAud(SoundEntry* entry);

// Playback slots.
// A slot playing a fresh duplicate of the entry's buffer, recycling at most the first finished
// slot met before the first free one; the shared empty slot when there is nothing to play or no
// slot (a failure is counted).
SoundSlot* SND_GetPlayableBuffer(SoundEntry* entry);
// The same under the name the game-message receiver uses.
SoundSlot* SND_PrepareBuffer(SoundEntry* entry);
// Stops and releases all 32 slots.
void SND_ReleasePlaybackSlots();

// Plays once at full volume, or at a volume in percent (0..100); null when nothing plays. In a
// network game the graveyard's lightning and bell are never played, plays in the announced
// range are sent to the other machines, and a client leaves ids from 0x1000B on to the host.
SoundSlot* SND_Play(SoundId id);
SoundSlot* SND_PlayAtVolume(SoundId id, int volume);
// Plays looping at full volume, never announced; null when nothing plays.
SoundSlot* SND_PlayLooped(SoundId id);
// Stops a slot's buffer; a null slot or one without buffer is ignored.
void SND_StopBuffer(SoundSlot* slot);
// Plays once at a world position with the distance rule (radius in world units); announced in a
// network game, and heard on a client too.
void SND_PlayAt(SoundId id, const float* position, int volume, float radius);
// The distance rule: 1 audible with *attenuation set (hundredths of a decibel), 0 silent; *pan
// is always 0 (centre).
int SND_SphereVolume(const float* position, int* pan, int* attenuation, int volume, float radius);
// 1 between device start-up and shutdown (the positional sounds' list is ready).
int SND_IsReady();

// The text kept for a DirectSound failure (each ends with a blank), or null for other results.
const char* SND_ErrorText(HRESULT result);

// Network sound messages (little-endian payloads, padding bytes zero).
constexpr uint8_t SND_MSG_PLAY = 10;     // {10, pad[3], u32 id}
constexpr uint8_t SND_MSG_PLAY_AT = 11;  // {11, pad[3], u32 id, f32 x, y, z, i32 volume, f32 radius}
constexpr int SND_MSG_PLAY_BYTES = 8;
constexpr int SND_MSG_PLAY_AT_BYTES = 28;
void SND_BuildPlayMessage(SoundId id, uint8_t out[SND_MSG_PLAY_BYTES]);
void SND_BuildPlayAtMessage(SoundId id, const float* position, int volume, float radius,
                            uint8_t out[SND_MSG_PLAY_AT_BYTES]);

// Tests of the start-up order observe the calls here: the device, group and play calls are
// reported as "NAME" or "NAME(args)". Off (null) by default.
void SND_SetCallTrace(void (*trace)(const char* entry));
// Reports one call to the trace (the sound files of this layer share it).
void SND_Trace(const char* name, const char* format = nullptr, ...) __attribute__((format(printf, 2, 3)));
