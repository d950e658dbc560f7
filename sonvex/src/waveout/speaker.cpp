// The waveOut speaker: the device loops over the ring (one header, handed over once), the sink
// writes ahead of the play position, and the timer reads the position back as frames played
// and as a clock smoothed between the driver's coarse updates.
#include "waveout/speaker.h"

#include <cstring>
#include <new>

#include "natural.h"
#include "sonvex_log.h"

namespace {

uint32_t g_internalCalls = 0;
uint32_t g_externalCalls = 0;
bool g_insideWrite = false;

// Counts one Windows call and passes its result on.
template <class T>
T counted(T result) {
    if (g_insideWrite)
        ++g_internalCalls;
    else
        ++g_externalCalls;
    return result;
}

// A nonzero low word of a checked result is fatal.
void check(MMRESULT r) {
    if ((r & 0xFFFF) != 0)
        AUDIO_FATAL("mmsystem error #" << (r & 0xFFFF) << " " << wdzMmErrorText(r & 0xFFFF));
}

struct insideWrite {
    insideWrite() { g_insideWrite = true; }
    ~insideWrite() { g_insideWrite = false; }
};

}  // namespace

extern "C" uint32_t wdzTimeGetTime(void) {
    return counted(timeGetTime());
}

const char* wdzMmErrorText(MMRESULT code) {
    switch (code) {
    case 2:
        return "Device ID out-of range";
    case 4:
        return "Resource already allocated";
    case 5:
        return "Invalid device handle";
    case 7:
        return "Unable to allocate/lock memory";
    case 8:
        return "Unsupported function";
    case 32:
        return "Unsupported wave format";
    case 33:
        return "Device still playing";
    case 34:
        return "Unprepared wave output header";
    case 35:
        return "Driver is synchronous";
    default:
        return "Unrecognized mmsystem error message";
    }
}

uint32_t wdzInternalCalls() {
    return g_internalCalls;
}

uint32_t wdzExternalCalls() {
    return g_externalCalls;
}

uint32_t wdzRingFrames(uint32_t ms, uint32_t rate) {
    uint64_t frames = ceilMulDiv(ms, rate, 1000);
    return frames > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(frames);
}

// ---------------------------------------------------------------------------------------------
// wdzAudioBuf

wdzAudioBuf* wdzAudioBuf::allocate(uint32_t bytes) {
    // Untyped storage: the straight path stores whole sample words into it.
    auto* data = static_cast<uint8_t*>(::operator new(bytes ? bytes : 1, std::nothrow));
    if (!data)
        return nullptr;
    std::memset(data, 0, bytes);
    auto* buf = new (std::nothrow) wdzAudioBuf(bytes, data);
    if (!buf) {
        ::operator delete(data);
        return nullptr;
    }
    audioLog() << "wdzAudioBuf::Allocated " << bytes << " bytes at " << static_cast<const void*>(data);
    return buf;
}

wdzAudioBuf::~wdzAudioBuf() {
    ::operator delete(m_data);
}

// ---------------------------------------------------------------------------------------------
// wdzAudioTimer

void wdzAudioTimer::start() {
    uint32_t rate = m_speaker.format().rate();
    uint32_t g = gcd(1000, rate);
    m_msPart = 1000 / g;
    m_ratePart = rate / g;
    m_shift = (m_speaker.format().layout() == audioAltStereo ? 1 : 0) + (m_speaker.format().width() ? 1 : 0);
    m_paused = false;
    poll();
    m_clockAtChange = m_clockAtPoll;
}

void wdzAudioTimer::poll() {
    if (!m_speaker.isPlaying()) {
        m_speaker.sink().setPlayed(0);
        return;
    }
    m_position.wType = TIME_BYTES;
    check(counted(waveOutGetPosition(m_speaker.device(), &m_position, sizeof m_position)));
    uint32_t frames = 0, ms = 0;
    const char* unit = nullptr;
    switch (m_position.wType) {
    case TIME_MS:
        ms = m_position.u.ms;
        frames = static_cast<uint32_t>(uint64_t{ms} * m_ratePart / m_msPart);
        unit = "milliseconds";
        break;
    case TIME_SAMPLES:
        frames = m_position.u.sample;
        ms = static_cast<uint32_t>(uint64_t{frames} * m_msPart / m_ratePart);
        unit = "samples";
        break;
    case TIME_BYTES:
        frames = m_position.u.cb >> m_shift;
        ms = static_cast<uint32_t>(uint64_t{frames} * m_msPart / m_ratePart);
        unit = "bytes";
        break;
    default:
        AUDIO_FATAL("wdzSpeaker::Cannot report a usable time");
    }
    if (m_position.wType != m_lastType) {
        m_lastType = m_position.wType;
        audioLog() << "wdzAudioTimer::Position reported in " << unit;
    }
    if (frames < m_frames)
        audioLog() << "wdzAudioTimer::Sample count " << std::hex << frames << "is below previous " << m_frames
                   << std::dec;
    m_frames = frames;
    m_speaker.sink().setPlayed(frames);
    m_clockAtPoll = wdzTimeGetTime();
    if (ms != m_lastMs) {
        m_lastMs = ms;
        m_clockAtChange = m_clockAtPoll;
    }
}

uint32_t wdzAudioTimer::time() {
    if (m_paused)
        return m_frozen;
    poll();
    return m_lastMs + (m_clockAtPoll - m_clockAtChange);
}

void wdzAudioTimer::pause() {
    counted(waveOutPause(m_speaker.device()));
    m_frozen = time();
    m_paused = true;
}

void wdzAudioTimer::resume() {
    m_paused = false;
    poll();
    m_clockAtChange = m_clockAtPoll;
    counted(waveOutRestart(m_speaker.device()));
}

// ---------------------------------------------------------------------------------------------
// wdzSpeaker

wdzSpeaker::wdzSpeaker(const audioFormat& format, HWAVEOUT device, wdzAudioBuf* buffer)
    : m_format(format), m_device(device), m_buffer(buffer) {
    m_sink = new (std::nothrow) audioCircularSink(m_format, m_buffer->data(), m_buffer->length());
    if (!m_sink)
        AUDIO_FATAL("wdzSpeaker::Cannot allocate circular sink");
    m_timer = new (std::nothrow) wdzAudioTimer(*this);
    if (!m_timer)
        AUDIO_FATAL("wdzSpeaker::Cannot alloc audio timer");
    stop();
    g_internalCalls = 0;
    g_externalCalls = 0;
}

wdzSpeaker::~wdzSpeaker() {
    audioLog() << "\nwdzSpeaker::Windows calls: " << g_internalCalls << " internal, " << g_externalCalls
               << " external.\n\r";
    try {
        stop();
    } catch (const audioFatalError&) {
        audioNoteFatalInDestructor();
    }
    delete m_sink;
    delete m_timer;
    counted(waveOutClose(m_device));
    delete m_buffer;
}

uint32_t wdzSpeaker::space() {
    m_timer->poll();
    return m_sink->space();
}

uint32_t wdzSpeaker::room(uint32_t n) {
    if (m_sink->space() >= n)
        return n;
    m_timer->poll();
    return m_sink->room(n);
}

uint32_t wdzSpeaker::write(audioSource& source, uint32_t n) {
    insideWrite mark;
    n = room(n);
    return m_sink->write(source, n);
}

void wdzSpeaker::start() {
    if (m_playing)
        AUDIO_FATAL("wdzSpeaker::Already playing");
    m_header = WAVEHDR{};
    m_header.lpData = reinterpret_cast<LPSTR>(m_buffer->data());
    m_header.dwBufferLength = m_buffer->length();
    m_header.dwBytesRecorded = 0;
    m_header.dwUser = 0;
    m_header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    m_header.dwLoops = 1000000;
    check(counted(waveOutPrepareHeader(m_device, &m_header, sizeof m_header)));
    check(counted(waveOutWrite(m_device, &m_header, sizeof m_header)));
    m_playing = true;
    m_timer->start();
}

void wdzSpeaker::stop() {
    if (m_playing) {
        std::memset(m_buffer->data(), 0, m_buffer->length());
        check(counted(waveOutReset(m_device)));
        check(counted(waveOutUnprepareHeader(m_device, &m_header, sizeof m_header)));
        m_playing = false;
        if (m_sink->stale())
            audioLog() << "wdzSpeaker::Played stale samples";
    }
    m_sink->reset();
}

void wdzSpeaker::pause() {
    m_timer->pause();
}

void wdzSpeaker::resume() {
    m_timer->resume();
}

uint32_t wdzSpeaker::time() {
    return m_timer->time();
}

uint32_t wdzSpeaker::framesPlayed() {
    m_timer->poll();
    return m_timer->frames();
}

uint32_t wdzSpeaker::framesWritten() {
    return m_sink->written();
}

// ---------------------------------------------------------------------------------------------
// Factories

wdzFactory::wdzFactory(const audioFormat& format, uint32_t bufferMs, uint32_t minimumMs)
    : m_format(format), m_ms(bufferMs < minimumMs ? minimumMs : bufferMs), m_minMs(minimumMs) {}

void wdzFactory::setBufferMs(uint32_t ms) {
    m_ms = ms < m_minMs ? m_minMs : ms;
}

audioSpeaker* wdzFactory::makeDefault() {
    setFormat(44100, audioAltStereo, audio16Bit, 0);
    if (audioSpeaker* s = make())
        return s;
    setFormat(22050, audioMono, 0, audioUnsigned);
    return make();
}

audioSpeaker* wdzSpeakerFactory::make() {
    uint32_t layout = m_format.layout() == audioMono ? audioMono : audioAltStereo;
    uint32_t width = m_format.width();
    m_format.set(m_format.rate(), layout, width, width ? 0u : uint32_t{audioUnsigned});
    const uint32_t rate = m_format.rate();
    if (rate != 6000 && rate != 8000 && rate != 11025 && rate != 22050 && rate != 44100)
        AUDIO_FATAL("wdzFactory::Unsupported frequency " << rate);

    const uint32_t devices = counted(waveOutGetNumDevs()) & 0xFFFF;
    if (devices == 0)
        AUDIO_FATAL("wdzSpeakerFactory::System reports no wave output devices");
    audioLog() << "wdzSpeakerFactory::Reporting " << devices << " wave output devices";

    const uint16_t channels = layout == audioMono ? 1 : 2;
    const uint16_t bits = width ? 16 : 8;
    WAVEFORMATEX wfx{};
    wfx.wFormatTag = WAVE_FORMAT_PCM;
    wfx.nChannels = channels;
    wfx.nSamplesPerSec = rate;
    wfx.wBitsPerSample = bits;
    wfx.nBlockAlign = static_cast<WORD>(bits / 8 * channels);
    wfx.nAvgBytesPerSec = rate * wfx.nBlockAlign;
    wfx.cbSize = 0;
    HWAVEOUT device = nullptr;
    MMRESULT last = MMSYSERR_NOERROR;
    for (uint32_t id = 0; id < devices; ++id) {
        last = counted(waveOutOpen(&device, id, &wfx, 0, 0, 0));
        if (last == MMSYSERR_NOERROR)
            break;
        device = nullptr;
    }
    if (!device) {
        m_failure = wdzMmErrorText(last);
        return nullptr;
    }

    const uint64_t bytes = uint64_t{wdzRingFrames(m_ms, rate)} * (width ? 2 : 1) * channels;
    wdzAudioBuf* buffer = bytes <= 0x7FFFFFFF ? wdzAudioBuf::allocate(static_cast<uint32_t>(bytes)) : nullptr;
    if (!buffer) {
        m_failure = "Cannot allocate audio buffer";
        counted(waveOutClose(device));  // not left open behind a failed speaker
        return nullptr;
    }
    m_allocated = true;
    std::ostream& log = audioLog();
    log << "wdzFactory::Returning speaker of type:\n ";
    m_format.describe(log);
    wdzSpeaker* speaker = nullptr;
    try {
        speaker = new (std::nothrow) wdzSpeaker(m_format, device, buffer);
    } catch (const audioFatalError&) {
        counted(waveOutClose(device));  // a speaker that failed to build owns nothing yet
        delete buffer;
        throw;
    }
    if (!speaker) {
        counted(waveOutClose(device));
        delete buffer;
        m_failure = "Cannot allocate audio buffer";
        return nullptr;
    }
    return speaker;
}
