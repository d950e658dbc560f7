// DirectSound over the platform's one audio output: the device list, DirectSound objects, the
// primary buffer (the system's master volume) and secondary PCM buffers with duplicates that
// share their sample memory. One mixer source plays every playing secondary buffer into the
// output, resampled to the output's rate by linear interpolation. Everything here is guarded by
// the output's lock, which the output also holds while it mixes.
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <new>
#include <set>

#include "audio_out.h"
#include "dsound.h"

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

struct Object;

struct Buffer final : IDirectSoundBuffer {
    Object* owner = nullptr;  // null once the DirectSound object is gone
    bool primary = false;
    DWORD flags = 0;
    WAVEFORMATEX format{};
    std::shared_ptr<std::vector<uint8_t>> data;  // shared with duplicates
    uint32_t frameBytes = 1;
    uint64_t frames = 0;
    ULONG refs = 1;
    LONG volume = 0;
    double gain = 1.0;
    bool playing = false;
    bool looping = false;
    uint64_t position = 0;  // in source frames, 32.32 fixed point
    uint64_t step = 0;      // source frames per output frame, 32.32 fixed point

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetStatus(DWORD* status) override;
    HRESULT GetVolume(LONG* volume) override;
    HRESULT SetVolume(LONG volume) override;
    HRESULT SetFormat(const WAVEFORMATEX* format) override;
    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override;
    HRESULT Stop() override;
    HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                 DWORD flags) override;
    HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) override;

    int32_t Sample(uint64_t frame, int channel) const;
    void MixInto(int32_t* mix, uint32_t outFrames, double master);
    void Skip(uint64_t outFrames);
};

struct Object final : IDirectSound {
    ULONG refs = 1;
    Buffer* primaryBuffer = nullptr;
    DWORD level = 0;

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, LPDIRECTSOUNDBUFFER* out, void* outer) override;
    HRESULT GetCaps(DSCAPS* caps) override;
    HRESULT DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original, LPDIRECTSOUNDBUFFER* duplicate) override;
    HRESULT SetCooperativeLevel(HWND window, DWORD level) override;
};

struct Mixer final : plat::AudioOutSource {
    void MixInto(int32_t* mix, uint32_t frames) override;
    void Skip(uint64_t frames) override;
};

std::vector<plat::DsoundDevice> DefaultDevices() {
    return {{true, "Primary Sound Driver", ""}, {false, "Platform audio output", "platform"}};
}

struct DsState {
    std::vector<plat::DsoundDevice> devices = DefaultDevices();
    std::map<plat::DsoundCall, HRESULT> failures;
    LONG systemVolume = 0;
    std::set<Object*> objects;
    std::set<Buffer*> buffers;
    Mixer mixer;
};

DsState& S() {
    static DsState* s = new DsState;  // never destroyed: the output may mix during exit
    return *s;
}

std::recursive_mutex& M() {
    return plat::AudioOutMutex();
}

HRESULT Injected(plat::DsoundCall call) {
    auto& f = S().failures;
    auto it = f.find(call);
    return it == f.end() ? DS_OK : it->second;
}

// The GUID of the index-th device of the list.
GUID DeviceGuid(size_t index) {
    GUID g = {0x504C4154u, 0x4453, 0x0001, {0, 0, 0, 0, 0, 0, 0, 0}};
    g.Data4[7] = static_cast<uint8_t>(index);
    g.Data4[6] = static_cast<uint8_t>(index >> 8);
    return g;
}

double GainOf(LONG volume) {
    if (volume <= DSBVOLUME_MIN)
        return 0.0;
    return std::pow(10.0, volume / 2000.0);
}

bool ValidFormat(const WAVEFORMATEX& f) {
    if (f.wFormatTag != WAVE_FORMAT_PCM || (f.nChannels != 1 && f.nChannels != 2))
        return false;
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16)
        return false;
    if (f.nSamplesPerSec < DSBFREQUENCY_MIN || f.nSamplesPerSec > DSBFREQUENCY_MAX)
        return false;
    return f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8u;
}

int32_t Buffer::Sample(uint64_t frame, int channel) const {
    const uint8_t* p = data->data() + frame * frameBytes;
    if (format.nChannels == 2)
        p += channel * (format.wBitsPerSample / 8);
    if (format.wBitsPerSample == 8)
        return (static_cast<int32_t>(p[0]) - 128) * 256;
    return static_cast<int16_t>(p[0] | (p[1] << 8));
}

void Buffer::MixInto(int32_t* mix, uint32_t outFrames, double master) {
    const uint64_t end = frames << 32;
    const double g = gain * master;
    for (uint32_t i = 0; i < outFrames; ++i) {
        if (position >= end) {
            if (!looping) {
                playing = false;
                position = 0;
                return;
            }
            position %= end;
        }
        const uint64_t index = position >> 32;
        const double frac = static_cast<double>(position & 0xFFFFFFFFu) / 4294967296.0;
        uint64_t next = index + 1;
        bool haveNext = true;
        if (next >= frames) {
            next = 0;
            haveNext = looping;
        }
        for (int c = 0; c < 2; ++c) {
            const double a = Sample(index, c);
            const double b = haveNext ? Sample(next, c) : a;
            mix[2 * i + c] += static_cast<int32_t>(std::lround((a + (b - a) * frac) * g));
        }
        position += step;
    }
    if (!looping && position >= end) {
        playing = false;
        position = 0;
    }
}

void Buffer::Skip(uint64_t outFrames) {
    const uint64_t end = frames << 32;
    const unsigned __int128 target = static_cast<unsigned __int128>(position) + static_cast<unsigned __int128>(step) * outFrames;
    if (target < end) {
        position = static_cast<uint64_t>(target);
        return;
    }
    if (!looping) {
        playing = false;
        position = 0;
        return;
    }
    position = static_cast<uint64_t>(target % end);
}

void Mixer::MixInto(int32_t* mix, uint32_t frames) {
    DsState& s = S();
    const double master = GainOf(s.systemVolume);
    for (Buffer* b : s.buffers)
        if (b->playing && !b->primary && b->owner && b->frames > 0)
            b->MixInto(mix, frames, master);
}

void Mixer::Skip(uint64_t frames) {
    for (Buffer* b : S().buffers)
        if (b->playing && !b->primary && b->owner && b->frames > 0)
            b->Skip(frames);
}

ULONG Buffer::AddRef() {
    Guard guard(M());
    return ++refs;
}

ULONG Buffer::Release() {
    Guard guard(M());
    if (--refs > 0)
        return refs;
    plat::AudioOutAdvance();  // what it played until now is heard
    S().buffers.erase(this);
    if (owner && owner->primaryBuffer == this)
        owner->primaryBuffer = nullptr;
    delete this;
    return 0;
}

HRESULT Buffer::GetStatus(DWORD* status) {
    Guard guard(M());
    if (HRESULT r = Injected(plat::DsoundCall::GetStatus))
        return r;
    if (!status)
        return DSERR_INVALIDPARAM;
    plat::AudioOutAdvance();
    *status = 0;
    if (playing && owner)
        *status = DSBSTATUS_PLAYING | (looping ? DWORD(DSBSTATUS_LOOPING) : DWORD(0));
    return DS_OK;
}

HRESULT Buffer::GetVolume(LONG* out) {
    Guard guard(M());
    if (!out)
        return DSERR_INVALIDPARAM;
    if (!(flags & DSBCAPS_CTRLVOLUME))
        return DSERR_CONTROLUNAVAIL;
    *out = primary ? S().systemVolume : volume;
    return DS_OK;
}

HRESULT Buffer::SetVolume(LONG v) {
    Guard guard(M());
    if (HRESULT r = Injected(plat::DsoundCall::SetVolume))
        return r;
    if (!(flags & DSBCAPS_CTRLVOLUME))
        return DSERR_CONTROLUNAVAIL;
    if (v < DSBVOLUME_MIN || v > DSBVOLUME_MAX)
        return DSERR_INVALIDPARAM;
    plat::AudioOutAdvance();  // the new volume holds from now on
    if (primary) {
        S().systemVolume = v;
    } else {
        volume = v;
        gain = GainOf(v);
    }
    return DS_OK;
}

HRESULT Buffer::SetFormat(const WAVEFORMATEX* f) {
    Guard guard(M());
    if (!primary)
        return DSERR_INVALIDCALL;
    if (!f)
        return DSERR_INVALIDPARAM;
    if (!ValidFormat(*f))
        return DSERR_BADFORMAT;
    format = *f;
    return DS_OK;
}

HRESULT Buffer::Play(DWORD reserved, DWORD, DWORD playFlags) {
    Guard guard(M());
    if (HRESULT r = Injected(plat::DsoundCall::Play))
        return r;
    if (reserved != 0)
        return DSERR_INVALIDPARAM;
    if (!owner)
        return DSERR_INVALIDCALL;
    // It starts now, not at the last mix; the mixer is attached again should the output have
    // been reset since the object was made.
    plat::AudioOutAttach(&S().mixer);
    playing = true;
    looping = (playFlags & DSBPLAY_LOOPING) != 0;
    return DS_OK;
}

HRESULT Buffer::Stop() {
    Guard guard(M());
    plat::AudioOutAdvance();
    playing = false;
    return DS_OK;
}

HRESULT Buffer::Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                     DWORD lockFlags) {
    Guard guard(M());
    if (HRESULT r = Injected(plat::DsoundCall::Lock))
        return r;
    if (primary)
        return DSERR_PRIOLEVELNEEDED;
    if (!part1 || !bytes1)
        return DSERR_INVALIDPARAM;
    const DWORD size = static_cast<DWORD>(data->size());
    if (lockFlags & DSBLOCK_ENTIREBUFFER) {
        offset = 0;
        bytes = size;
    }
    if (offset >= size || bytes == 0 || bytes > size)
        return DSERR_INVALIDPARAM;
    const DWORD first = std::min(bytes, size - offset);
    const DWORD second = bytes - first;
    if (second > 0 && (!part2 || !bytes2))
        return DSERR_INVALIDPARAM;
    *part1 = data->data() + offset;
    *bytes1 = first;
    if (part2)
        *part2 = second ? data->data() : nullptr;
    if (bytes2)
        *bytes2 = second;
    return DS_OK;
}

HRESULT Buffer::Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) {
    Guard guard(M());
    const uint8_t* begin = data ? data->data() : nullptr;
    const uint8_t* end = begin ? begin + data->size() : nullptr;
    auto inside = [&](void* p, DWORD n) {
        const auto* q = static_cast<const uint8_t*>(p);
        return n == 0 || (q >= begin && q + n <= end);
    };
    if (primary || !inside(part1, bytes1) || !inside(part2, bytes2))
        return DSERR_INVALIDPARAM;
    return DS_OK;
}

ULONG Object::AddRef() {
    Guard guard(M());
    return ++refs;
}

ULONG Object::Release() {
    Guard guard(M());
    if (--refs > 0)
        return refs;
    DsState& s = S();
    plat::AudioOutAdvance();
    // Its buffers fall silent; each stays a valid object until its own Release.
    for (Buffer* b : s.buffers) {
        if (b->owner == this) {
            b->owner = nullptr;
            b->playing = false;
        }
    }
    s.objects.erase(this);
    if (s.objects.empty())
        plat::AudioOutDetach(&s.mixer);
    delete this;
    return 0;
}

HRESULT Object::CreateSoundBuffer(const DSBUFFERDESC* desc, LPDIRECTSOUNDBUFFER* out, void* outer) {
    Guard guard(M());
    if (HRESULT r = Injected(plat::DsoundCall::CreateSoundBuffer))
        return r;
    if (outer)
        return DSERR_NOAGGREGATION;
    if (!desc || !out || desc->dwSize != sizeof(DSBUFFERDESC))
        return DSERR_INVALIDPARAM;
    *out = nullptr;
    if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
        if (desc->dwBufferBytes != 0 || desc->lpwfxFormat)
            return DSERR_INVALIDPARAM;
        if (primaryBuffer) {
            ++primaryBuffer->refs;
            *out = primaryBuffer;
            return DS_OK;
        }
        auto* b = new Buffer;
        b->owner = this;
        b->primary = true;
        b->flags = desc->dwFlags;
        b->format = WAVEFORMATEX{WAVE_FORMAT_PCM, 2, 22050, 88200, 4, 16, 0};
        b->data = std::make_shared<std::vector<uint8_t>>();
        primaryBuffer = b;
        S().buffers.insert(b);
        *out = b;
        return DS_OK;
    }
    if (!desc->lpwfxFormat)
        return DSERR_INVALIDPARAM;
    if (!ValidFormat(*desc->lpwfxFormat))
        return DSERR_BADFORMAT;
    if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX)
        return DSERR_INVALIDPARAM;
    auto* b = new (std::nothrow) Buffer;
    if (!b)
        return DSERR_OUTOFMEMORY;
    try {
        b->data = std::make_shared<std::vector<uint8_t>>(desc->dwBufferBytes, uint8_t(0));
    } catch (const std::bad_alloc&) {
        delete b;
        return DSERR_OUTOFMEMORY;
    }
    b->owner = this;
    b->flags = desc->dwFlags;
    b->format = *desc->lpwfxFormat;
    b->format.cbSize = 0;
    b->frameBytes = b->format.nBlockAlign;
    b->frames = desc->dwBufferBytes / b->frameBytes;
    b->step = (static_cast<uint64_t>(b->format.nSamplesPerSec) << 32) / plat::kAudioOutRate;
    // 8-bit silence is 0x80.
    if (b->format.wBitsPerSample == 8)
        std::fill(b->data->begin(), b->data->end(), uint8_t(0x80));
    S().buffers.insert(b);
    *out = b;
    return DS_OK;
}

HRESULT Object::GetCaps(DSCAPS* caps) {
    Guard guard(M());
    if (!caps || caps->dwSize != sizeof(DSCAPS))
        return DSERR_INVALIDPARAM;
    *caps = DSCAPS{};
    caps->dwSize = sizeof(DSCAPS);
    caps->dwFlags = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY8BIT | DSCAPS_PRIMARY16BIT |
                    DSCAPS_EMULDRIVER | DSCAPS_SECONDARYMONO | DSCAPS_SECONDARYSTEREO | DSCAPS_SECONDARY8BIT |
                    DSCAPS_SECONDARY16BIT;
    caps->dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
    caps->dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
    caps->dwPrimaryBuffers = 1;
    return DS_OK;
}

HRESULT Object::DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original, LPDIRECTSOUNDBUFFER* duplicate) {
    Guard guard(M());
    if (HRESULT r = Injected(plat::DsoundCall::Duplicate))
        return r;
    if (!original || !duplicate)
        return DSERR_INVALIDPARAM;
    *duplicate = nullptr;
    auto* from = static_cast<Buffer*>(original);
    if (!S().buffers.count(from) || from->owner != this)
        return DSERR_INVALIDPARAM;
    if (from->primary)
        return DSERR_INVALIDCALL;
    auto* b = new (std::nothrow) Buffer;
    if (!b)
        return DSERR_OUTOFMEMORY;
    b->owner = this;
    b->flags = from->flags;
    b->format = from->format;
    b->data = from->data;
    b->frameBytes = from->frameBytes;
    b->frames = from->frames;
    b->step = from->step;
    b->volume = from->volume;
    b->gain = from->gain;
    S().buffers.insert(b);
    *duplicate = b;
    return DS_OK;
}

HRESULT Object::SetCooperativeLevel(HWND window, DWORD newLevel) {
    Guard guard(M());
    if (newLevel < DSSCL_NORMAL || newLevel > DSSCL_WRITEPRIMARY || !IsWindow(window))
        return DSERR_INVALIDPARAM;
    level = newLevel;
    return DS_OK;
}

}  // namespace

PLATAPI HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, void* context) {
    if (!callback)
        return DSERR_INVALIDPARAM;
    std::vector<plat::DsoundDevice> devices;
    {
        Guard guard(M());
        devices = S().devices;
    }
    // The callback runs without the lock: it may call back in.
    for (size_t i = 0; i < devices.size(); ++i) {
        GUID guid = DeviceGuid(i);
        if (!callback(devices[i].primaryDriver ? nullptr : &guid, devices[i].description.c_str(),
                      devices[i].module.c_str(), context))
            break;
    }
    return DS_OK;
}

PLATAPI HRESULT DirectSoundCreate(LPGUID guid, LPDIRECTSOUND* out, void* outer) {
    Guard guard(M());
    if (HRESULT r = Injected(plat::DsoundCall::Create))
        return r;
    if (!out)
        return DSERR_INVALIDPARAM;
    *out = nullptr;
    if (outer)
        return DSERR_NOAGGREGATION;
    DsState& s = S();
    if (s.devices.empty())
        return DSERR_NODRIVER;
    if (guid) {
        bool found = false;
        for (size_t i = 0; i < s.devices.size() && !found; ++i)
            found = !s.devices[i].primaryDriver && DeviceGuid(i) == *guid;
        if (!found)
            return DSERR_NODRIVER;
    }
    auto* o = new Object;
    s.objects.insert(o);
    plat::AudioOutAttach(&s.mixer);
    *out = o;
    return DS_OK;
}

namespace plat {

void DsoundSetDevices(const std::vector<DsoundDevice>& devices) {
    Guard guard(M());
    S().devices = devices;
}

void DsoundSetFailure(DsoundCall call, HRESULT code) {
    Guard guard(M());
    if (code == DS_OK)
        S().failures.erase(call);
    else
        S().failures[call] = code;
}

void DsoundSetSystemVolume(LONG volume) {
    Guard guard(M());
    plat::AudioOutAdvance();
    S().systemVolume = volume;
}

LONG DsoundSystemVolume() {
    Guard guard(M());
    return S().systemVolume;
}

int DsoundLiveBuffers() {
    Guard guard(M());
    return static_cast<int>(S().buffers.size());
}

int DsoundLiveObjects() {
    Guard guard(M());
    return static_cast<int>(S().objects.size());
}

int DsoundPlayingBuffers() {
    Guard guard(M());
    plat::AudioOutAdvance();
    int n = 0;
    for (Buffer* b : S().buffers)
        n += (b->playing && !b->primary && b->owner) ? 1 : 0;
    return n;
}

void DsoundResetForTests() {
    Guard guard(M());
    DsState& s = S();
    s.devices = DefaultDevices();
    s.failures.clear();
    s.systemVolume = 0;
}

}  // namespace plat
