// Sound files and groups: the .aud loader, loading and releasing whole groups, the id lookup, and
// the loaded-bytes counters.
//
// An .aud file (little-endian): u32 version (256), u32 data size, the 18-byte PCM wave format
// (u16 tag, u16 channels, u32 rate, u32 bytes per second, u16 block align, u16 bits, u16 extra),
// 2 padding bytes, then the sample data. Files come from the archives, so nothing in the header
// is taken on trust: a file that does not hold together stays unloaded.
#include <cstdio>

#include "common/muf.h"
#include "shell/snd.h"

uint32_t g_SndLoadedBytes = 0;
uint32_t g_SndPeakBytes = 0;
uint32_t g_SndMissCount = 0;
SoundEntry g_SndEmptyEntry = {nullptr, 0, nullptr};

namespace {

constexpr size_t kAudHeaderBytes = 28;
constexpr uint32_t kAudVersion = 256;
constexpr uint32_t kMinRate = 1000;
constexpr uint32_t kMaxRate = 100000;

uint16_t SND_Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t SND_Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// Bytes that can still be read from a stream: to the end of its archive entry, or of its file.
uint64_t SND_BytesLeft(MufStream* stream) {
    if (stream->archive)
        return stream->end > stream->pos ? stream->end - stream->pos : 0;
    const long here = std::ftell(stream->file);
    if (here < 0 || std::fseek(stream->file, 0, SEEK_END) != 0)
        return 0;
    const long end = std::ftell(stream->file);
    std::fseek(stream->file, here, SEEK_SET);
    return end > here ? static_cast<uint64_t>(end - here) : 0;
}

// The header's wave format, when it is one the game can play: PCM, 1 or 2 channels, 8 or 16
// bits, a block align that matches them and a rate in reason.
bool SND_ReadFormat(const uint8_t* p, WAVEFORMATEX* format) {
    format->wFormatTag = SND_Le16(p);
    format->nChannels = SND_Le16(p + 2);
    format->nSamplesPerSec = SND_Le32(p + 4);
    format->nAvgBytesPerSec = SND_Le32(p + 8);
    format->nBlockAlign = SND_Le16(p + 12);
    format->wBitsPerSample = SND_Le16(p + 14);
    format->cbSize = SND_Le16(p + 16);
    return format->wFormatTag == WAVE_FORMAT_PCM && (format->nChannels == 1 || format->nChannels == 2) &&
           (format->wBitsPerSample == 8 || format->wBitsPerSample == 16) &&
           format->nBlockAlign == format->nChannels * format->wBitsPerSample / 8 &&
           format->nSamplesPerSec >= kMinRate && format->nSamplesPerSec <= kMaxRate;
}

// Reads header and data into a new static buffer; null when anything is missing or wrong.
LPDIRECTSOUNDBUFFER SND_ReadAud(MufStream* file, uint32_t* bytesOut) {
    uint8_t header[kAudHeaderBytes];
    if (MUF_Read(header, kAudHeaderBytes, 1, file) != 1 || SND_Le32(header) != kAudVersion)
        return nullptr;
    const uint32_t dataBytes = SND_Le32(header + 4);
    WAVEFORMATEX format;
    if (!SND_ReadFormat(header + 8, &format))
        return nullptr;
    // No buffer larger than what the file really holds.
    if (dataBytes == 0 || dataBytes > SND_BytesLeft(file))
        return nullptr;

    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_STATIC | DSBCAPS_CTRLVOLUME | DSBCAPS_GETCURRENTPOSITION2;
    desc.dwBufferBytes = dataBytes;
    desc.lpwfxFormat = &format;
    LPDIRECTSOUNDBUFFER buffer = nullptr;
    if (FAILED(g_DirectSound->CreateSoundBuffer(&desc, &buffer, nullptr)) || !buffer)
        return nullptr;
    void* part1 = nullptr;
    void* part2 = nullptr;
    DWORD bytes1 = 0, bytes2 = 0;
    if (FAILED(buffer->Lock(0, dataBytes, &part1, &bytes1, &part2, &bytes2, 0)) || bytes1 < dataBytes) {
        buffer->Release();
        return nullptr;
    }
    if (MUF_Read(part1, dataBytes, 1, file) != 1) {
        buffer->Unlock(part1, bytes1, part2, bytes2);
        buffer->Release();
        return nullptr;
    }
    buffer->Unlock(part1, bytes1, part2, bytes2);
    *bytesOut = dataBytes;
    return buffer;
}

void SND_ReleaseEntry(SoundEntry* entry) {
    if (!entry->buffer)
        return;
    entry->buffer->Stop();
    entry->buffer->Release();
    entry->buffer = nullptr;
    g_SndLoadedBytes -= entry->bytes;
    entry->bytes = 0;
}

void SND_ReleaseEntries(SoundGroup& group) {
    for (SoundEntry* entry = group.entries + 1; entry->fileName; ++entry)
        SND_ReleaseEntry(entry);
}

}  // namespace

int SND_LoadAud(SoundEntry* entry) {
    entry->buffer = nullptr;
    entry->bytes = 0;
    if (!g_DirectSound)
        return 0;
    MufStream* file = MUF_Open(entry->fileName, "rb");
    if (!file)
        return 0;
    uint32_t bytes = 0;
    LPDIRECTSOUNDBUFFER buffer = SND_ReadAud(file, &bytes);
    MUF_Close(file);
    if (!buffer)
        return 0;
    g_SndLoadedBytes += bytes;
    if (g_SndLoadedBytes > g_SndPeakBytes)
        g_SndPeakBytes = g_SndLoadedBytes;
    entry->buffer = buffer;
    entry->bytes = bytes;
    return 1;
}

int SND_LoadSpeechAud(SoundEntry* entry) {
    return SND_LoadAud(entry);
}

void SND_LoadGroup(SoundId id) {
    SND_Trace("SND_LoadGroup", "0x%X", id);
    const uint32_t group = id >> 16;
    if (group >= SND_GROUP_COUNT)
        return;
    for (SoundEntry* entry = g_SoundGroups[group].entries + 1; entry->fileName; ++entry)
        SND_LoadAud(entry);
}

void SND_ReleaseGroup(SoundId id) {
    SND_Trace("SND_ReleaseGroup", "0x%X", id);
    SND_ReleasePlaybackSlots();
    const uint32_t group = id >> 16;
    if (group < SND_GROUP_COUNT)
        SND_ReleaseEntries(g_SoundGroups[group]);
}

void SND_ReleaseAllGroups() {
    for (SoundGroup& group : g_SoundGroups)
        SND_ReleaseEntries(group);
}

SoundEntry* SND_FindEntry(SoundId id) {
    const uint32_t group = id >> 16;
    const uint32_t index = id & 0xFFFF;
    if (group < SND_GROUP_COUNT && index >= 1 && index <= static_cast<uint32_t>(g_SoundGroups[group].count)) {
        SoundEntry* entry = &g_SoundGroups[group].entries[index];
        if (entry->buffer)
            return entry;
    }
    ++g_SndMissCount;
    return &g_SndEmptyEntry;
}
