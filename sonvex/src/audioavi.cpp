// The playback exports over one static state: the mode, the owned speaker, the owned block
// factory, the stream rate, the profile counter and the speaker-factory provider.
//
// Differences from the library as first written, each closing a fault:
//   - a second SetupAudio deletes the factory it replaces;
//   - ResyncAudio computes its target in 64 bits, skips nothing when the stream is already past
//     it, and does nothing with a zero denominator;
//   - FillAudio and ResyncAudio check for a missing factory or speaker (a movie whose first frame
//     is not a key frame, or a SetupAudio that got no speaker): FillAudio then drains as in
//     mode 0, giving back the chunk the factory held;
//   - TakeBack gives the dropped chunk back to the stream buffer, and so does ResyncAudio for a
//     chunk it drops, so that every chunk the library takes is released exactly once.
#include "audioavi.h"

#include <memory>
#include <new>

#include "adpcm3.h"
#include "adpcmmn.h"
#include "adpcmst.h"
#include "sonvex_log.h"

namespace {

constexpr int32_t kDllVersion = 40065;
constexpr uint32_t kFillRoom = 3000;  // the speaker is topped up only while it takes this much

const sonvexStreamCalls kStreamBuffer = {sbAudioFormat, sbNextChunk, sbRelease, sbPosition};

struct libraryState {
    int32_t mode = 0;
    audioSpeaker* speaker = nullptr;
    audioBlockFactory* factory = nullptr;
    int32_t streamRate = 0;
    uint32_t profile = 0;
    speakerFactoryProvider provider = nullptr;
    const sonvexStreamCalls* calls = &kStreamBuffer;
    // The chunk whose blocks the factory holds (index -1: none).
    SBBUFFER* heldBuffer = nullptr;
    int32_t heldIndex = -1;
};

libraryState g;

wdzFactory* makeSpeakerFactory() {
    return g.provider ? g.provider() : sonvexDefaultSpeakerFactory();
}

void holdChunk(SBBUFFER* buffer, int32_t index) {
    g.heldBuffer = buffer;
    g.heldIndex = index;
}

void releaseHeld() {
    if (g.heldIndex >= 0)
        g.calls->release(g.heldBuffer, g.heldIndex);
    g.heldIndex = -1;
    g.heldBuffer = nullptr;
}

// Fetches and releases every chunk that is available now.
void drain(SBBUFFER* buffer, SBSTREAM* stream, int32_t* index, const uint8_t** data, int32_t* length) {
    if (g.factory && g.heldIndex >= 0) {
        g.factory->reset();
        releaseHeld();
    }
    for (;;) {
        *index = g.calls->nextChunk(stream, data, length, 1, 1);
        if (*index <= -1)
            return;
        g.calls->release(buffer, *index);
    }
}

int32_t fill(SBBUFFER* buffer, SBSTREAM* stream, int32_t* index, const uint8_t** data, int32_t* length,
             int32_t drainFlag, int32_t loop) {
    const bool feeding = (g.mode == 2 || g.mode == 3) && g.factory && g.speaker;
    if (!feeding) {
        if (drainFlag == -1)
            drain(buffer, stream, index, data, length);
        return 1;
    }
    audioSource* source = g.factory->advance();
    for (;;) {
        if (!source) {
            *index = g.calls->nextChunk(stream, data, length, 1, 1);
            if (*index < -1)
                return 1;  // nothing buffered yet: try again next time
            if (*index == -1) {
                // End of the audio: the free part of the ring becomes silence, on every call.
                if (g.streamRate != 0) {
                    audioNullSource silence(static_cast<uint32_t>(g.streamRate), 0xFFFFFFFFu);
                    g.speaker->write(silence, 0xFFFFFFFFu);
                }
                return 1;
            }
            holdChunk(buffer, *index);
            source = g.factory->setChunk(*data, *length > 0 ? static_cast<uint32_t>(*length) : 0);
        }
        if (g.speaker->room(kFillRoom) < kFillRoom)
            return 1;
        if (source && source->remaining() > 0) {
            uint32_t before = timeGetTime();
            g.speaker->write(*source, 0xFFFFFFFFu);
            g.profile += timeGetTime() - before;
        }
        source = g.factory->advance();
        if (!source) {
            releaseHeld();
            if (loop == 0)
                return 1;
        }
    }
}

void resync(SBBUFFER* buffer, SBSTREAM* stream, int32_t* index, const uint8_t** data, int32_t* length,
            uint32_t num, uint32_t den) {
    if (den == 0 || !g.factory)
        return;
    const uint64_t target = uint64_t{num} * static_cast<uint32_t>(g.streamRate) / den;
    const int32_t here = g.calls->position(stream, -1);
    const uint64_t position = here > 0 ? static_cast<uint64_t>(here) : 0;
    uint64_t skip = target > position ? target - position : 0;

    g.factory->reset();
    releaseHeld();
    auto takeChunk = [&]() -> bool {
        *index = g.calls->nextChunk(stream, data, length, 1, 1);
        if (*index < 0)
            return false;
        holdChunk(buffer, *index);
        g.factory->setChunk(*data, *length > 0 ? static_cast<uint32_t>(*length) : 0);
        return true;
    };
    if (!takeChunk())
        return;
    while (skip != 0) {
        audioSource* s = g.factory->current();
        uint32_t n = 0;
        if (s)
            n = skip < s->remaining() ? static_cast<uint32_t>(skip) : s->remaining();
        if (n > 0)
            skip -= s->skip(n);
        if (skip == 0)
            break;
        if (g.factory->advance())
            continue;
        releaseHeld();
        if (!takeChunk())
            return;
    }
}

int32_t setup(SBSTREAM* stream, int32_t mode, int32_t fallbackRate, int32_t fallback16, int32_t fallbackStereo) {
    g.profile = 0;
    g.mode = mode;
    if (mode == 0)
        return 1;
    int32_t channels = 0, rate = 0, byteRate = 0, tag = 0;
    const WAVEFORMATEX* format = g.calls->audioFormat(stream, &channels, &rate, &byteRate, &tag);
    int32_t bits = 0, samplesPerBlock = 0;
    if (format) {
        const auto* record = reinterpret_cast<const SBAUDIOFORMAT*>(format);
        bits = record->format.wBitsPerSample;
        samplesPerBlock = record->samplesPerBlock;
    }
    audioLog() << "SetupAudio::Audio type " << (channels == 1 ? "Mono" : "Stereo") << "  srate " << rate << "  brate "
               << byteRate << "  fmt " << tag << "  bits/sample " << bits << "  samples/block " << samplesPerBlock
               << '\n';

    audioBlockFactory* old = g.factory;
    g.factory = nullptr;
    g.heldIndex = -1;
    g.heldBuffer = nullptr;
    delete old;
    g.factory = makeAudioFactory(channels, rate, tag, bits, samplesPerBlock);
    g.streamRate = rate;
    if (g.speaker)
        return 1;  // the speaker goes on at the format it was made with

    std::unique_ptr<wdzFactory> speakers(makeSpeakerFactory());
    if (g.mode != 3) {
        speakers->setFormat(static_cast<uint32_t>(rate), audioAltStereo, audio16Bit, 0);
        audioLog() << "SetupAudio::Trying to make speaker, srate = " << rate << '\n';
        g.speaker = speakers->make();
        if (!g.speaker) {
            audioLog() << "SetupAudio::Failed, trying mono";
            g.mode = 3;
        }
    }
    if (g.mode == 3) {
        uint32_t r = static_cast<uint32_t>(fallbackRate != 0 ? fallbackRate : rate);
        speakers->setFormat(r, fallbackStereo ? audioAltStereo : audioMono,
                            fallback16 ? uint32_t{audio16Bit} : 0u, 0);
        g.speaker = speakers->makeAgain();
        if (!g.speaker)
            audioLog() << "SetupAudio::Can't construct Mono speaker";
    }
    return g.speaker ? 1 : 0;
}

}  // namespace

audioBlockFactory* makeAudioFactory(int32_t channels, int32_t rate, int32_t formatTag, int32_t bitsPerSample,
                                    int32_t samplesPerBlock) {
    const uint32_t r = static_cast<uint32_t>(rate);
    if (formatTag == 1) {
        if (channels != 1 && channels != 2)
            AUDIO_FATAL("makeAVIaudioFactory::Bad pcm header, channels = " << channels);
        if (bitsPerSample != 8 && bitsPerSample != 16)
            AUDIO_FATAL("makeAVIaudioFactory::Bad pcm header, invalid bits/sample " << bitsPerSample);
        audioLog() << "makeAVIaudioFactory::" << bitsPerSample << " bit " << (channels == 1 ? "Mono" : "Stereo")
                   << " PCM data, " << rate << " samples per second";
        pcmBlockFactory::Kind kind = channels == 1 ? (bitsPerSample == 16 ? pcmBlockFactory::mono16 : pcmBlockFactory::mono8)
                                                   : (bitsPerSample == 16 ? pcmBlockFactory::stereo16 : pcmBlockFactory::stereo8);
        return new (std::nothrow) pcmBlockFactory(r, kind);
    }
    if (bitsPerSample == 3) {
        audioLog() << "makeAVIaudioFactory::3 bit adpcm";
        return new (std::nothrow) adpcm3BlockFactory();
    }
    if (channels == 1) {
        uint32_t size = static_cast<uint32_t>(samplesPerBlock / 2 + 4);
        audioLog() << "makeAVIaudioFactory::mono 4 bit adpcm " << rate << " samples per second";
        return new (std::nothrow) adpcmMonoBlockFactory(r, size);
    }
    if (channels == 2) {
        uint32_t size = static_cast<uint32_t>(samplesPerBlock + 7);
        audioLog() << "makeAVIaudioFactory::stereo 4 bit adpcm " << rate << " samples per second";
        return new (std::nothrow) adpcmStereoBlockFactory(r, size);
    }
    AUDIO_FATAL("makeAVIaudioFactory::Unsupported header (compressed data): numChannels = " << channels);
}

void sonvexUseStreamCalls(const sonvexStreamCalls* calls) {
    g.calls = calls ? calls : &kStreamBuffer;
}

void sonvexSetSpeakerFactoryProvider(speakerFactoryProvider provider) {
    g.provider = provider;
}

wdzFactory* sonvexDefaultSpeakerFactory() {
    return new wdzSpeakerFactory(audioFormatSpec(44100, audioAltStereo, audio16Bit, 0), 1500, 250);
}

int32_t sonvexMode() {
    return g.mode;
}
audioSpeaker* sonvexSpeaker() {
    return g.speaker;
}
audioBlockFactory* sonvexFactory() {
    return g.factory;
}
int32_t sonvexStreamRate() {
    return g.streamRate;
}

// ---------------------------------------------------------------------------------------------
// Exports

SVXAPI uint32_t GetAudioProfile(void) {
    return g.profile;
}

SVXAPI audioBlockFactory* makeAVIaudioFactory(int32_t channels, int32_t rate, int32_t formatTag,
                                              int32_t bitsPerSample, int32_t samplesPerBlock) {
    return audioExport([&] { return makeAudioFactory(channels, rate, formatTag, bitsPerSample, samplesPerBlock); });
}

SVXAPI void StartPlaying(void) {
    audioExport([] {
        if (g.mode != 0 && g.speaker)
            g.speaker->start();
    });
}

SVXAPI int32_t DLLVersion(void) {
    return kDllVersion;
}

SVXAPI std::jmp_buf* longjmpOnAudioErrors(std::jmp_buf* target) {
    audioSetJumpTarget(target);
    return target;
}

SVXAPI void StopPlaying(void) {
    audioExport([] {
        if (g.speaker)
            g.speaker->stop();
    });
}

SVXAPI void EndAudio(void) {
    audioExport([] {
        audioSpeaker* speaker = g.speaker;
        audioBlockFactory* factory = g.factory;
        g.speaker = nullptr;
        g.factory = nullptr;
        g.streamRate = 0;
        g.heldIndex = -1;
        g.heldBuffer = nullptr;
        delete speaker;
        delete factory;
    });
}

SVXAPI void TakeBack(void) {
    audioExport([] {
        if (!g.factory)
            return;
        g.factory->reset();
        releaseHeld();
    });
}

SVXAPI void PauseSpeaker(void) {
    audioExport([] {
        if (g.speaker)
            g.speaker->pause();
    });
}

SVXAPI void ResumeSpeaker(void) {
    audioExport([] {
        if (g.speaker)
            g.speaker->resume();
    });
}

SVXAPI uint32_t TimeSpeaker(void) {
    return audioExport([]() -> uint32_t { return g.speaker ? g.speaker->time() : 0; });
}

SVXAPI int32_t IsPlaying(void) {
    return g.speaker && g.speaker->isPlaying() ? 1 : 0;
}

SVXAPI int32_t FillAudio(SBBUFFER* buffer, SBSTREAM* stream, int32_t* index, const uint8_t** data, int32_t* length,
                         int32_t drain, int32_t loop) {
    if (!stream)
        return 0;
    return audioExport([&] { return fill(buffer, stream, index, data, length, drain, loop); });
}

SVXAPI int32_t SetupAudio(SBBUFFER*, SBSTREAM* stream, int32_t mode, int32_t fallbackRate, int32_t fallback16,
                          int32_t fallbackStereo) {
    return audioExport([&] { return setup(stream, mode, fallbackRate, fallback16, fallbackStereo); });
}

SVXAPI void ResyncAudio(SBBUFFER* buffer, SBSTREAM* stream, int32_t* index, const uint8_t** data, int32_t* length,
                        uint32_t numerator, uint32_t denominator) {
    if (!stream)
        return;
    audioExport([&] { resync(buffer, stream, index, data, length, numerator, denominator); });
}
