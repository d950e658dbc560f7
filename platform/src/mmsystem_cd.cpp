// The "cdaudio" MCI device: a command-string interpreter over a model of a CD drive (see the
// MCI section of mmsystem.h). Tracks come from "music\trackNN.wav" files when present and are
// silent otherwise; a play's audio is one source of the platform's audio output, and its end
// follows the platform clock: the message pump (CdPoll) posts the completion when it is due.
// State is guarded by the audio output's lock, which the output holds while it mixes.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "audio_out.h"
#include "internal.h"
#include "mmsystem.h"

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

constexpr int kDefaultTracks = 10;
constexpr uint32_t kDefaultTrackMs = 180000;
constexpr LPARAM kDeviceId = 1;
// Larger track files are not read, nor tracks longer than 20 minutes.
constexpr uint64_t kMaxTrackFileBytes = 512u << 20;
constexpr uint64_t kMaxTrackFrames = 20ull * 60 * plat::kAudioOutRate;

// One track as the drive plays it: stereo 16-bit frames at the output's rate, or silence.
struct Track {
    bool readable = true;         // false: the file exists but is no PCM wave we can play
    uint64_t frames = 0;          // at the output's rate
    uint32_t ms = 0;              // its playing time
    std::vector<int16_t> pcm;     // 2 * frames samples; empty for a silent track
};

enum class TimeFormat { Msf, Tmsf, Milliseconds };

struct Notify {
    HWND window;
    WPARAM code;
};

struct CdSource final : plat::AudioOutSource {
    void MixInto(int32_t* mix, uint32_t frames) override;
    void Skip(uint64_t frames) override;
};

struct CdState {
    // The disc as configured, and as read at the last open.
    bool discPresent = true;
    int trackCount = kDefaultTracks;
    uint32_t silentMs = kDefaultTrackMs;
    std::map<int, std::shared_ptr<const Track>> tracks;  // read on first play after an open

    bool open = false;
    TimeFormat format = TimeFormat::Msf;

    // The running play.
    bool playing = false;
    int from = 0, to = 0;
    uint32_t startMs = 0, lengthMs = 0;
    HWND notifyWindow = nullptr;  // a pending notification goes here
    bool notifyPending = false;
    std::vector<std::shared_ptr<const Track>> range;
    size_t segment = 0;        // the track being played within range
    uint64_t segmentPos = 0;   // frames played of it
    bool attached = false;

    std::vector<plat::CdCommand> log;
    CdSource source;
};

CdState& S() {
    static CdState* s = new CdState;  // never destroyed: the output may mix during exit
    return *s;
}

std::recursive_mutex& M() {
    return plat::AudioOutMutex();
}

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// Reads a RIFF WAVE file of 8- or 16-bit PCM, mono or stereo, into output-rate stereo frames.
// Every chunk length is checked against the file; a data chunk cut short plays what is there.
bool ReadWave(const std::string& path, Track* track) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    const std::streamoff size = in.tellg();
    if (size < 12 || static_cast<uint64_t>(size) > kMaxTrackFileBytes)
        return false;
    std::vector<uint8_t> file(static_cast<size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(file.data()), size))
        return false;
    if (std::string(file.begin(), file.begin() + 4) != "RIFF" || std::string(file.begin() + 8, file.begin() + 12) != "WAVE")
        return false;
    const uint8_t* fmt = nullptr;
    const uint8_t* data = nullptr;
    size_t dataBytes = 0;
    size_t at = 12;
    while (at + 8 <= file.size()) {
        const std::string id(file.begin() + static_cast<long>(at), file.begin() + static_cast<long>(at) + 4);
        const uint64_t length = U32(&file[at + 4]);
        const size_t body = at + 8;
        const size_t left = file.size() - body;
        if (id == "fmt ") {
            if (length < 16 || length > left)
                return false;
            fmt = &file[body];
        } else if (id == "data") {
            data = &file[body];
            dataBytes = static_cast<size_t>(std::min<uint64_t>(length, left));
        }
        if (length > left)
            break;
        at = body + static_cast<size_t>(length) + (length & 1);
    }
    if (!fmt || !data)
        return false;
    const uint16_t tag = U16(fmt), channels = U16(fmt + 2), align = U16(fmt + 12), bits = U16(fmt + 14);
    const uint32_t rate = U32(fmt + 4);
    if (tag != 1 || (channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate < 1000 || rate > 192000 ||
        align != channels * bits / 8)
        return false;
    const uint64_t srcFrames = dataBytes / align;
    auto sample = [&](uint64_t frame, int channel) -> int32_t {
        const uint8_t* p = data + frame * align + (channels == 2 ? channel * (bits / 8) : 0);
        return bits == 8 ? (static_cast<int32_t>(p[0]) - 128) * 256 : static_cast<int16_t>(U16(p));
    };
    track->frames = srcFrames * plat::kAudioOutRate / rate;
    if (track->frames > kMaxTrackFrames)
        return false;
    track->ms = static_cast<uint32_t>((srcFrames * 1000 + rate - 1) / rate);
    track->pcm.resize(static_cast<size_t>(track->frames * 2));
    // Linear interpolation onto the output's rate.
    for (uint64_t i = 0; i < track->frames; ++i) {
        const uint64_t pos = (i * rate << 16) / plat::kAudioOutRate;
        const uint64_t k = pos >> 16;
        const int64_t frac = static_cast<int64_t>(pos & 0xFFFF);
        for (int c = 0; c < 2; ++c) {
            const int64_t a = sample(k, c);
            const int64_t b = k + 1 < srcFrames ? sample(k + 1, c) : a;
            track->pcm[static_cast<size_t>(2 * i + c)] = static_cast<int16_t>(a + ((b - a) * frac >> 16));
        }
    }
    return true;
}

// The track as the disc has it (read once per open). Lock held.
std::shared_ptr<const Track> TrackOf(CdState& s, int number) {
    auto it = s.tracks.find(number);
    if (it != s.tracks.end())
        return it->second;
    auto track = std::make_shared<Track>();
    char name[32];
    std::snprintf(name, sizeof name, "music\\track%02d.wav", number);
    const std::string path = plat::ResolvePath(name);
    std::ifstream probe(path, std::ios::binary);
    if (probe) {
        probe.close();
        track->readable = ReadWave(path, track.get());
        if (!track->readable)
            track->pcm.clear();
    } else {
        track->ms = s.silentMs;
        track->frames = static_cast<uint64_t>(s.silentMs) * plat::kAudioOutRate / 1000;
    }
    s.tracks[number] = track;
    return track;
}

void CdSource::MixInto(int32_t* mix, uint32_t frames) {
    CdState& s = S();
    for (uint32_t i = 0; i < frames && s.segment < s.range.size(); ++i) {
        const Track& t = *s.range[s.segment];
        if (!t.pcm.empty()) {
            mix[2 * i] += t.pcm[static_cast<size_t>(2 * s.segmentPos)];
            mix[2 * i + 1] += t.pcm[static_cast<size_t>(2 * s.segmentPos + 1)];
        }
        if (++s.segmentPos >= t.frames) {
            ++s.segment;
            s.segmentPos = 0;
        }
    }
}

void CdSource::Skip(uint64_t frames) {
    CdState& s = S();
    while (frames > 0 && s.segment < s.range.size()) {
        const uint64_t left = s.range[s.segment]->frames - s.segmentPos;
        if (frames < left) {
            s.segmentPos += frames;
            return;
        }
        frames -= left;
        ++s.segment;
        s.segmentPos = 0;
    }
}

// Ends the running play; a pending notification is queued with the code. Lock held.
void EndPlay(CdState& s, WPARAM code, std::vector<Notify>* out) {
    if (s.notifyPending && s.notifyWindow)
        out->push_back({s.notifyWindow, code});
    s.notifyPending = false;
    s.notifyWindow = nullptr;
    if (s.attached) {
        plat::AudioOutDetach(&s.source);  // what it played until now is heard first
        s.attached = false;
    }
    s.playing = false;
    s.range.clear();
}

// A play whose time is up has ended successfully. Lock held.
void CheckEnd(CdState& s, std::vector<Notify>* out) {
    if (s.playing && GetTickCount() - s.startMs >= s.lengthMs)
        EndPlay(s, MCI_NOTIFY_SUCCESSFUL, out);
}

void Post(const std::vector<Notify>& notes) {
    for (const Notify& n : notes)
        PostMessageA(n.window, MM_MCINOTIFY, n.code, kDeviceId);
}

bool ParseTrack(const std::string& word, int* out) {
    if (word.empty() || word.size() > 6 || !std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    *out = std::atoi(word.c_str());
    return true;
}

MCIERROR Play(CdState& s, const std::vector<std::string>& w, HWND callback, std::vector<Notify>* out) {
    int from = 1, to = -1;
    bool notify = false;
    for (size_t i = 2; i < w.size(); ++i) {
        if (w[i] == "notify") {
            notify = true;
        } else if (w[i] == "wait") {
            return MCIERR_UNSUPPORTED_FUNCTION;  // nobody blocks on the CD here
        } else if (w[i] == "from" || w[i] == "to") {
            if (i + 1 >= w.size())
                return MCIERR_MISSING_PARAMETER;
            if (!ParseTrack(w[i + 1], w[i] == "from" ? &from : &to))
                return MCIERR_BAD_INTEGER;
            ++i;
        } else {
            return MCIERR_UNRECOGNIZED_KEYWORD;
        }
    }
    if (!s.discPresent)
        return MCIERR_DEVICE_NOT_READY;
    if (s.format != TimeFormat::Tmsf)
        return MCIERR_UNSUPPORTED_FUNCTION;
    if (to < 0)
        to = s.trackCount + 1;
    if (from < 1 || from > s.trackCount || to < from || to > s.trackCount + 1)
        return MCIERR_OUTOFRANGE;

    // The new play replaces the running one.
    if (s.playing)
        EndPlay(s, notify ? MCI_NOTIFY_SUPERSEDED : MCI_NOTIFY_ABORTED, out);
    s.playing = true;
    s.from = from;
    s.to = to;
    s.startMs = GetTickCount();
    s.lengthMs = 0;
    s.notifyPending = notify && callback;
    s.notifyWindow = notify ? callback : nullptr;
    s.segment = 0;
    s.segmentPos = 0;
    bool readable = true;
    for (int t = from; t < to; ++t) {
        std::shared_ptr<const Track> track = TrackOf(s, t);
        readable = readable && track->readable;
        s.range.push_back(track);
        s.lengthMs += track->ms;
    }
    if (!readable) {
        EndPlay(s, MCI_NOTIFY_FAILURE, out);
        return 0;
    }
    const bool sounds = std::any_of(s.range.begin(), s.range.end(), [](const auto& t) { return !t->pcm.empty(); });
    if (sounds) {
        plat::AudioOutAttach(&s.source);
        s.attached = true;
    }
    CheckEnd(s, out);  // an empty range ends at once
    return 0;
}

MCIERROR Execute(CdState& s, const std::string& command, HWND callback, std::vector<Notify>* out) {
    std::vector<std::string> w;
    std::istringstream in(command);
    for (std::string word; in >> word;) {
        for (char& c : word)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        w.push_back(word);
    }
    if (w.empty())
        return MCIERR_UNRECOGNIZED_COMMAND;
    static const char* const kCommands[] = {"open", "close", "stop", "set", "play"};
    if (std::find(std::begin(kCommands), std::end(kCommands), w[0]) == std::end(kCommands))
        return MCIERR_UNRECOGNIZED_COMMAND;
    if (w.size() < 2 || w[1] != "cdaudio")
        return MCIERR_INVALID_DEVICE_NAME;

    if (w[0] == "open") {
        if (w.size() != 2)
            return MCIERR_UNRECOGNIZED_KEYWORD;
        if (s.open)
            return MCIERR_DEVICE_OPEN;
        s.open = true;
        s.format = TimeFormat::Msf;
        s.tracks.clear();  // the disc is read afresh
        return 0;
    }
    if (!s.open)
        return MCIERR_INVALID_DEVICE_NAME;
    if (w[0] == "close" || w[0] == "stop") {
        if (w.size() != 2)
            return MCIERR_UNRECOGNIZED_KEYWORD;
        if (s.playing)
            EndPlay(s, MCI_NOTIFY_ABORTED, out);
        if (w[0] == "close")
            s.open = false;
        return 0;
    }
    if (w[0] == "set") {
        if (w.size() != 5 || w[2] != "time" || w[3] != "format")
            return MCIERR_UNRECOGNIZED_KEYWORD;
        if (w[4] == "tmsf")
            s.format = TimeFormat::Tmsf;
        else if (w[4] == "msf")
            s.format = TimeFormat::Msf;
        else if (w[4] == "milliseconds" || w[4] == "ms")
            s.format = TimeFormat::Milliseconds;
        else
            return MCIERR_UNRECOGNIZED_KEYWORD;
        return 0;
    }
    return Play(s, w, callback, out);
}

}  // namespace

namespace plat::detail {

// Posts the completion of a play whose time is up. Called by the message pump.
void CdPoll() {
    std::vector<Notify> notes;
    {
        Lock guard(M());
        CheckEnd(S(), &notes);
    }
    Post(notes);
}

}  // namespace plat::detail

PLATAPI MCIERROR mciSendStringA(LPCSTR command, LPSTR returnString, UINT returnLength, HWND callback) {
    if (returnString && returnLength > 0)
        returnString[0] = '\0';
    std::vector<Notify> notes;
    MCIERROR result;
    {
        Lock guard(M());
        CdState& s = S();
        CheckEnd(s, &notes);  // a play that has run out ended before this command
        result = command ? Execute(s, command, callback, &notes) : MCIERR_UNRECOGNIZED_COMMAND;
        s.log.push_back({command ? command : "", callback, result});
    }
    Post(notes);
    return result;
}

namespace plat {

std::vector<CdCommand> CdCommandLog() {
    Lock guard(M());
    return S().log;
}

void CdClearLog() {
    Lock guard(M());
    S().log.clear();
}

void CdSetDisc(bool present, int trackCount, uint32_t silentTrackMs) {
    Lock guard(M());
    CdState& s = S();
    s.discPresent = present;
    s.trackCount = std::clamp(trackCount, 1, 99);
    s.silentMs = silentTrackMs;
}

bool CdPlaying(int* fromTrack, int* toTrack) {
    std::vector<Notify> notes;
    bool playing;
    {
        Lock guard(M());
        CdState& s = S();
        CheckEnd(s, &notes);
        playing = s.playing;
        if (fromTrack)
            *fromTrack = playing ? s.from : 0;
        if (toTrack)
            *toTrack = playing ? s.to : 0;
    }
    Post(notes);
    return playing;
}

void CdResetForTests() {
    Lock guard(M());
    CdState& s = S();
    std::vector<Notify> dropped;
    if (s.playing)
        EndPlay(s, MCI_NOTIFY_ABORTED, &dropped);
    s.open = false;
    s.format = TimeFormat::Msf;
    s.discPresent = true;
    s.trackCount = kDefaultTracks;
    s.silentMs = kDefaultTrackMs;
    s.tracks.clear();
    s.log.clear();
}

}  // namespace plat
