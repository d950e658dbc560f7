// waveOut over the platform's one audio output. Each open device is an audio source that plays
// its queued headers at the device's own rate (sample-and-hold into the 44100 Hz mix), counts the
// bytes played since the open or the last reset, and answers its position from that count. The
// test controls of mmsystem.h shape the devices (count, refusals, failures, position format).
#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <set>

#include "audio_out.h"
#include "mmsystem.h"

struct PlatWaveOut final : plat::AudioOutSource {
    WAVEFORMATEX format{};
    uint32_t frameBytes = 1;
    std::deque<WAVEHDR*> queue;
    uint32_t offset = 0;     // bytes of the front header already played in this pass
    DWORD loopsLeft = 0;     // passes left of the front header, this one included
    bool paused = false;
    uint64_t played = 0;     // frames played since the open or the last reset
    int64_t lead = 0;        // see FramesStarting
    int32_t left = 0, right = 0;  // the frame being held in the mix
    std::vector<uint8_t> scratch;

    void MixInto(int32_t* mix, uint32_t frames) override;
    void Skip(uint64_t frames) override;
    bool Sounding() const { return !paused && !queue.empty(); }
    void StartFront();
    void FinishFront();
    uint64_t Consume(uint64_t frames, uint8_t* out);
    void Decode(const uint8_t* frame);
    uint64_t FramesStarting(uint64_t mixFrames) const;
};

namespace plat {
namespace {

struct WaveState {
    UINT deviceCount = 1;
    std::set<UINT> refused;
    std::map<WaveCall, MMRESULT> failures;
    UINT positionType = TIME_BYTES;
    DWORD positionStep = 1;
    WaveTap tap;
    std::set<PlatWaveOut*> open;
};

WaveState& W() {
    static WaveState* w = new WaveState;  // never destroyed: devices may outlive static teardown
    return *w;
}

MMRESULT Injected(WaveCall call) {
    auto& f = W().failures;
    auto it = f.find(call);
    return it == f.end() ? MMSYSERR_NOERROR : it->second;
}

bool Known(HWAVEOUT device) {
    return device && W().open.count(device) != 0;
}

bool ValidFormat(const WAVEFORMATEX& f) {
    if (f.wFormatTag != WAVE_FORMAT_PCM || (f.nChannels != 1 && f.nChannels != 2))
        return false;
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16)
        return false;
    if (f.nSamplesPerSec < 1000 || f.nSamplesPerSec > 192000)
        return false;
    const uint32_t align = f.nChannels * f.wBitsPerSample / 8u;
    return f.nBlockAlign == align && f.nAvgBytesPerSec == f.nSamplesPerSec * align;
}

}  // namespace
}  // namespace plat

using plat::W;
using plat::WaveCall;

void PlatWaveOut::StartFront() {
    offset = 0;
    if (queue.empty())
        return;
    WAVEHDR* h = queue.front();
    const DWORD loop = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    loopsLeft = ((h->dwFlags & loop) == loop) ? std::max<DWORD>(h->dwLoops, 1) : 1;
}

void PlatWaveOut::FinishFront() {
    WAVEHDR* h = queue.front();
    h->dwFlags = (h->dwFlags & ~static_cast<DWORD>(WHDR_INQUEUE)) | WHDR_DONE;
    queue.pop_front();
    StartFront();
}

// Plays up to `frames` frames of the queue, copying them to out when given; returns the frames
// played (fewer when the queue runs dry). The tap hears every byte.
uint64_t PlatWaveOut::Consume(uint64_t frames, uint8_t* out) {
    const auto& tap = W().tap;
    uint64_t done = 0;
    while (done < frames && !queue.empty()) {
        WAVEHDR* h = queue.front();
        const uint64_t passFrames = h->dwBufferLength / frameBytes;
        const uint64_t avail = passFrames - offset / frameBytes;
        if (avail == 0 || !h->lpData) {
            if (passFrames > 0 && loopsLeft > 1 && h->lpData) {
                --loopsLeft;
                offset = 0;
            } else {
                FinishFront();
            }
            continue;
        }
        uint64_t want = frames - done;
        if (!out && !tap) {
            // Nobody listens: move through whole passes arithmetically.
            const uint64_t total = avail + (loopsLeft - 1) * passFrames;
            if (want >= total) {
                done += total;
                FinishFront();
                continue;
            }
            if (want < avail) {
                offset += static_cast<uint32_t>(want * frameBytes);
            } else {
                const uint64_t rest = want - avail;
                loopsLeft -= static_cast<DWORD>(1 + rest / passFrames);
                offset = static_cast<uint32_t>((rest % passFrames) * frameBytes);
            }
            done += want;
            break;
        }
        const uint64_t take = std::min(want, avail);
        const uint8_t* src = reinterpret_cast<const uint8_t*>(h->lpData) + offset;
        const size_t bytes = static_cast<size_t>(take * frameBytes);
        if (out)
            std::memcpy(out + done * frameBytes, src, bytes);
        if (tap)
            tap(format, src, bytes);
        offset += static_cast<uint32_t>(bytes);
        done += take;
    }
    played += done;
    return done;
}

void PlatWaveOut::Decode(const uint8_t* f) {
    if (format.wBitsPerSample == 8) {
        left = (static_cast<int32_t>(f[0]) - 128) * 256;
        right = format.nChannels == 2 ? (static_cast<int32_t>(f[1]) - 128) * 256 : left;
    } else {
        left = static_cast<int16_t>(f[0] | (f[1] << 8));
        right = format.nChannels == 2 ? static_cast<int16_t>(f[2] | (f[3] << 8)) : left;
    }
}

// Device frame k starts at mix frame k * 44100 / rate. `lead` is how far the frames taken so far
// reach past the current mix frame (in units of 1 / (44100 * rate) seconds): a frame is taken
// whenever the lead is used up, so mix frame i plays device frame floor(i * rate / 44100).
uint64_t PlatWaveOut::FramesStarting(uint64_t mixFrames) const {
    if (mixFrames == 0)
        return 0;
    const int64_t span = static_cast<int64_t>((mixFrames - 1) * format.nSamplesPerSec);
    if (lead > span)
        return 0;
    return static_cast<uint64_t>((span - lead) / plat::kAudioOutRate + 1);
}

void PlatWaveOut::MixInto(int32_t* mix, uint32_t frames) {
    if (!Sounding())
        return;
    const int64_t rate = format.nSamplesPerSec;
    const uint64_t needed = FramesStarting(frames);
    scratch.resize(static_cast<size_t>(needed * frameBytes));
    const uint64_t got = Consume(needed, scratch.data());
    uint64_t k = 0;
    for (uint32_t i = 0; i < frames; ++i) {
        while (lead <= 0) {
            if (k < got)
                Decode(&scratch[static_cast<size_t>(k * frameBytes)]);
            else
                left = right = 0;  // ran dry: silence
            ++k;
            lead += plat::kAudioOutRate;
        }
        mix[2 * i] += left;
        mix[2 * i + 1] += right;
        lead -= rate;
    }
}

void PlatWaveOut::Skip(uint64_t frames) {
    if (!Sounding() || frames == 0)
        return;
    const uint64_t taken = FramesStarting(frames);
    lead += static_cast<int64_t>(taken * plat::kAudioOutRate) - static_cast<int64_t>(frames * format.nSamplesPerSec);
    Consume(taken, nullptr);
}

namespace {
using Lock = std::lock_guard<std::recursive_mutex>;
}

PLATAPI UINT waveOutGetNumDevs(void) {
    Lock guard(plat::AudioOutMutex());
    return W().deviceCount;
}

PLATAPI MMRESULT waveOutOpen(HWAVEOUT* device, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                             DWORD_PTR, DWORD flags) {
    Lock guard(plat::AudioOutMutex());
    if (MMRESULT r = plat::Injected(WaveCall::Open))
        return r;
    if (!device || !format)
        return MMSYSERR_INVALPARAM;
    if (deviceId >= W().deviceCount)
        return MMSYSERR_BADDEVICEID;
    if (flags != CALLBACK_NULL || callback != 0)
        return MMSYSERR_NOTSUPPORTED;
    if (W().refused.count(deviceId) || !plat::ValidFormat(*format))
        return WAVERR_BADFORMAT;
    auto* d = new PlatWaveOut;
    d->format = *format;
    d->format.cbSize = 0;
    d->frameBytes = format->nBlockAlign;
    W().open.insert(d);
    plat::AudioOutAttach(d);
    *device = d;
    return MMSYSERR_NOERROR;
}

PLATAPI MMRESULT waveOutClose(HWAVEOUT device) {
    Lock guard(plat::AudioOutMutex());
    if (MMRESULT r = plat::Injected(WaveCall::Close))
        return r;
    if (!plat::Known(device))
        return MMSYSERR_INVALHANDLE;
    plat::AudioOutAdvance();
    if (!device->queue.empty())
        return WAVERR_STILLPLAYING;
    plat::AudioOutDetach(device);
    W().open.erase(device);
    delete device;
    return MMSYSERR_NOERROR;
}

PLATAPI MMRESULT waveOutPrepareHeader(HWAVEOUT device, WAVEHDR* header, UINT headerSize) {
    Lock guard(plat::AudioOutMutex());
    if (MMRESULT r = plat::Injected(WaveCall::Prepare))
        return r;
    if (!plat::Known(device))
        return MMSYSERR_INVALHANDLE;
    if (!header || headerSize < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

PLATAPI MMRESULT waveOutUnprepareHeader(HWAVEOUT device, WAVEHDR* header, UINT headerSize) {
    Lock guard(plat::AudioOutMutex());
    if (MMRESULT r = plat::Injected(WaveCall::Unprepare))
        return r;
    if (!plat::Known(device))
        return MMSYSERR_INVALHANDLE;
    if (!header || headerSize < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    plat::AudioOutAdvance();
    if (header->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    header->dwFlags &= ~static_cast<DWORD>(WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

PLATAPI MMRESULT waveOutWrite(HWAVEOUT device, WAVEHDR* header, UINT headerSize) {
    Lock guard(plat::AudioOutMutex());
    if (MMRESULT r = plat::Injected(WaveCall::Write))
        return r;
    if (!plat::Known(device))
        return MMSYSERR_INVALHANDLE;
    if (!header || headerSize < sizeof(WAVEHDR))
        return MMSYSERR_INVALPARAM;
    if (!(header->dwFlags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    if (header->dwFlags & WHDR_INQUEUE)
        return WAVERR_STILLPLAYING;
    plat::AudioOutAdvance();  // what was due so far was played before this header arrived
    header->dwFlags = (header->dwFlags & ~static_cast<DWORD>(WHDR_DONE)) | WHDR_INQUEUE;
    device->queue.push_back(header);
    if (device->queue.size() == 1)
        device->StartFront();
    return MMSYSERR_NOERROR;
}

PLATAPI MMRESULT waveOutGetPosition(HWAVEOUT device, MMTIME* time, UINT timeSize) {
    Lock guard(plat::AudioOutMutex());
    if (MMRESULT r = plat::Injected(WaveCall::GetPosition))
        return r;
    if (!plat::Known(device))
        return MMSYSERR_INVALHANDLE;
    if (!time || timeSize < sizeof(MMTIME))
        return MMSYSERR_INVALPARAM;
    plat::AudioOutAdvance();
    const uint64_t step = std::max<DWORD>(W().positionStep, 1);
    const uint64_t frames = device->played / step * step;
    time->wType = W().positionType;
    switch (W().positionType) {
    case TIME_SAMPLES:
        time->u.sample = static_cast<DWORD>(frames);
        break;
    case TIME_MS:
        time->u.ms = static_cast<DWORD>(frames * 1000 / device->format.nSamplesPerSec);
        break;
    default:
        time->u.cb = static_cast<DWORD>(frames * device->frameBytes);
        break;
    }
    return MMSYSERR_NOERROR;
}

PLATAPI MMRESULT waveOutPause(HWAVEOUT device) {
    Lock guard(plat::AudioOutMutex());
    if (MMRESULT r = plat::Injected(WaveCall::Pause))
        return r;
    if (!plat::Known(device))
        return MMSYSERR_INVALHANDLE;
    plat::AudioOutAdvance();
    device->paused = true;
    return MMSYSERR_NOERROR;
}

PLATAPI MMRESULT waveOutRestart(HWAVEOUT device) {
    Lock guard(plat::AudioOutMutex());
    if (MMRESULT r = plat::Injected(WaveCall::Restart))
        return r;
    if (!plat::Known(device))
        return MMSYSERR_INVALHANDLE;
    plat::AudioOutAdvance();
    device->paused = false;
    return MMSYSERR_NOERROR;
}

PLATAPI MMRESULT waveOutReset(HWAVEOUT device) {
    Lock guard(plat::AudioOutMutex());
    if (MMRESULT r = plat::Injected(WaveCall::Reset))
        return r;
    if (!plat::Known(device))
        return MMSYSERR_INVALHANDLE;
    plat::AudioOutAdvance();
    while (!device->queue.empty())
        device->FinishFront();
    device->offset = 0;
    device->played = 0;
    device->lead = 0;
    device->paused = false;
    device->left = device->right = 0;
    return MMSYSERR_NOERROR;
}

namespace plat {

void WaveOutSetDeviceCount(UINT count) {
    Lock guard(AudioOutMutex());
    W().deviceCount = count;
}

void WaveOutRefuseDevice(UINT deviceId, bool refuse) {
    Lock guard(AudioOutMutex());
    if (refuse)
        W().refused.insert(deviceId);
    else
        W().refused.erase(deviceId);
}

void WaveOutSetFailure(WaveCall call, MMRESULT code) {
    Lock guard(AudioOutMutex());
    if (code == MMSYSERR_NOERROR)
        W().failures.erase(call);
    else
        W().failures[call] = code;
}

void WaveOutSetPositionType(UINT type) {
    Lock guard(AudioOutMutex());
    W().positionType = type;
}

void WaveOutSetPositionStep(DWORD frames) {
    Lock guard(AudioOutMutex());
    W().positionStep = frames;
}

void WaveOutSetTap(WaveTap tap) {
    Lock guard(AudioOutMutex());
    W().tap = std::move(tap);
}

void WaveOutResetForTests() {
    Lock guard(AudioOutMutex());
    WaveState& w = W();
    w.deviceCount = 1;
    w.refused.clear();
    w.failures.clear();
    w.positionType = TIME_BYTES;
    w.positionStep = 1;
    w.tap = nullptr;
}

}  // namespace plat
