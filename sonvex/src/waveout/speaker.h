// The library's output: one waveOut device looping over one ring buffer (wdzSpeaker), the timer
// that turns the device position into frames played and a smooth millisecond clock, and the
// factory that opens a device and sizes the ring.
#pragma once
#include <cstdint>
#include <string>

#include "aud_impl.h"
#include "audio.h"
#include "mmsystem.h"
#include "sonvex.h"  // wdzTimeGetTime: the Windows clock, counted as one Windows call

// Text of an mmsystem result code.
const char* wdzMmErrorText(MMRESULT code);

// Process-wide counts of the Windows calls the library makes: "internal" while a speaker's
// write is running, "external" otherwise.
uint32_t wdzInternalCalls();
uint32_t wdzExternalCalls();

// The ring buffer a device plays: zero-filled at allocation.
class wdzAudioBuf {
public:
    // Null when either allocation fails.
    static wdzAudioBuf* allocate(uint32_t bytes);
    ~wdzAudioBuf();
    wdzAudioBuf(const wdzAudioBuf&) = delete;
    wdzAudioBuf& operator=(const wdzAudioBuf&) = delete;
    uint32_t length() const { return m_length; }
    uint8_t* data() const { return m_data; }

private:
    wdzAudioBuf(uint32_t length, uint8_t* data) : m_length(length), m_data(data) {}
    uint32_t m_length;
    uint8_t* m_data;
};

class wdzSpeaker;

class wdzAudioTimer {
public:
    explicit wdzAudioTimer(wdzSpeaker& speaker) : m_speaker(speaker) {}
    void start();
    // Asks the device how far it has got (only while playing).
    void poll();
    uint32_t time();
    void pause();
    void resume();
    uint32_t frames() const { return m_frames; }

private:
    wdzSpeaker& m_speaker;
    MMTIME m_position{};
    uint32_t m_frames = 0;
    uint32_t m_lastMs = 0;
    uint32_t m_clockAtPoll = 0;
    uint32_t m_clockAtChange = 0;
    uint32_t m_frozen = 0;
    bool m_paused = false;
    UINT m_lastType = 0;
    uint32_t m_msPart = 1000;   // 1000 / gcd(1000, rate)
    uint32_t m_ratePart = 1;    // rate / gcd(1000, rate)
    uint32_t m_shift = 0;       // bytes to frames
};

class wdzSpeaker final : public audioSpeaker {
public:
    // Takes the open device and the buffer (both owned from now on).
    wdzSpeaker(const audioFormat& format, HWAVEOUT device, wdzAudioBuf* buffer);
    ~wdzSpeaker() override;
    wdzSpeaker(const wdzSpeaker&) = delete;
    wdzSpeaker& operator=(const wdzSpeaker&) = delete;

    const audioFormat& format() const override { return m_format; }
    uint32_t space() override;
    uint32_t room(uint32_t n) override;
    uint32_t write(audioSource& source, uint32_t n) override;
    Rational conversionOffset() const override { return m_sink->conversionOffset(); }
    void start() override;
    void stop() override;
    bool isPlaying() const override { return m_playing; }
    void pause() override;
    void resume() override;
    uint32_t time() override;
    uint32_t framesPlayed() override;
    uint32_t framesWritten() override;

    audioCircularSink& sink() { return *m_sink; }
    HWAVEOUT device() const { return m_device; }
    const wdzAudioBuf& buffer() const { return *m_buffer; }

private:
    audioFormatSpec m_format;
    HWAVEOUT m_device;
    WAVEHDR m_header{};
    wdzAudioBuf* m_buffer;
    wdzAudioTimer* m_timer = nullptr;
    bool m_playing = false;
    audioCircularSink* m_sink = nullptr;
};

// Makes speakers: opens the first device that takes the format and sizes its ring.
class wdzFactory : public audioFormat {
public:
    wdzFactory(const audioFormat& format, uint32_t bufferMs, uint32_t minimumMs);
    uint32_t rate() const override { return m_format.rate(); }
    uint32_t layout() const override { return m_format.layout(); }
    uint32_t width() const override { return m_format.width(); }
    uint32_t isUnsigned() const override { return m_format.isUnsigned(); }
    void setFormat(uint32_t rate, uint32_t layout, uint32_t width, uint32_t isUnsigned) {
        m_format.set(rate, layout, width, isUnsigned);
    }

    // Ring length := max(ms, minimum).
    virtual void setBufferMs(uint32_t ms);
    // 44100 Hz altStereo 16-bit signed, else 22050 Hz mono 8-bit unsigned.
    virtual audioSpeaker* makeDefault();
    // A speaker at the factory's own (normalised) format, or null.
    virtual audioSpeaker* make() = 0;
    virtual audioSpeaker* makeAgain() { return make(); }

    uint32_t bufferMs() const { return m_ms; }
    const std::string& failure() const { return m_failure; }

protected:
    audioFormatSpec m_format;
    uint32_t m_ms;
    uint32_t m_minMs;
    std::string m_failure;
    bool m_allocated = false;
};

class wdzSpeakerFactory final : public wdzFactory {
public:
    wdzSpeakerFactory(const audioFormat& format, uint32_t bufferMs, uint32_t minimumMs)
        : wdzFactory(format, bufferMs, minimumMs) {}
    audioSpeaker* make() override;
};

// Ring frames for ms milliseconds at rate: ceil(ms * rate / 1000) on reduced fractions.
uint32_t wdzRingFrames(uint32_t ms, uint32_t rate);
