// DirectSound over the audio output: the device list, buffers and duplicates, what they play into
// the mixed stream (gain, master volume, formats and rates, once and looping), locks, parameter
// checks and injected failures, the system volume across objects, and mixing on another thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "audio_out.h"
#include "dsound.h"
#include "platform_fixture.h"
#include "win32.h"

namespace {

WAVEFORMATEX Format(uint32_t rate, uint16_t channels, uint16_t bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(w, m, wp, lp);
}

class DsoundTest : public plattest::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        plat::SetVirtualTime(1000);
        plat::AudioOutResetForTests(true);  // the captured stream starts here
        ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
    }
    void TearDown() override {
        for (LPDIRECTSOUNDBUFFER b : made)
            b->Release();
        if (ds)
            ds->Release();
        EXPECT_EQ(plat::DsoundLiveBuffers(), 0);
        EXPECT_EQ(plat::DsoundLiveObjects(), 0);
        plat::AudioOutResetForTests(false);
        HeadlessTest::TearDown();
    }

    // A secondary buffer holding bytes (released at the end of the test).
    LPDIRECTSOUNDBUFFER Make(const WAVEFORMATEX& format, const std::vector<uint8_t>& bytes) {
        DSBUFFERDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DSBCAPS_STATIC | DSBCAPS_CTRLVOLUME | DSBCAPS_GETCURRENTPOSITION2;
        desc.dwBufferBytes = static_cast<DWORD>(bytes.size());
        desc.lpwfxFormat = &format;
        LPDIRECTSOUNDBUFFER b = nullptr;
        EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
        if (!b)
            return nullptr;
        void* p1 = nullptr;
        void* p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        EXPECT_EQ(b->Lock(0, desc.dwBufferBytes, &p1, &n1, &p2, &n2, 0), DS_OK);
        std::memcpy(p1, bytes.data(), n1);
        EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
        made.push_back(b);
        return b;
    }

    // 16-bit mono samples, all equal.
    static std::vector<uint8_t> Constant16(int16_t value, size_t frames) {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < frames; ++i) {
            out.push_back(static_cast<uint8_t>(value));
            out.push_back(static_cast<uint8_t>(static_cast<uint16_t>(value) >> 8));
        }
        return out;
    }

    // The captured stream from the start of the test (stereo frames).
    static std::vector<int16_t> Captured() { return plat::AudioOutCaptured(); }

    static DWORD Status(LPDIRECTSOUNDBUFFER b) {
        DWORD s = 0xFFFF;
        EXPECT_EQ(b->GetStatus(&s), DS_OK);
        return s;
    }

    LPDIRECTSOUND ds = nullptr;
    std::vector<LPDIRECTSOUNDBUFFER> made;
};

TEST_F(DsoundTest, EnumerationListsThePrimaryDriverFirstAndStopsWhenAsked) {
    struct Seen {
        std::vector<std::string> names;
        std::vector<bool> withGuid;
        size_t stopAfter = 99;
    };
    auto callback = [](LPGUID guid, LPCSTR description, LPCSTR module, void* context) -> BOOL {
        auto* seen = static_cast<Seen*>(context);
        seen->names.push_back(std::string(description) + "|" + module);
        seen->withGuid.push_back(guid != nullptr);
        return seen->names.size() < seen->stopAfter ? TRUE : FALSE;
    };
    Seen all;
    ASSERT_EQ(DirectSoundEnumerateA(callback, &all), DS_OK);
    EXPECT_EQ(all.names, (std::vector<std::string>{"Primary Sound Driver|", "Platform audio output|platform"}));
    EXPECT_EQ(all.withGuid, (std::vector<bool>{false, true}));

    std::vector<plat::DsoundDevice> many;
    for (int i = 0; i < 12; ++i)
        many.push_back({i == 0, "card " + std::to_string(i), "mod"});
    plat::DsoundSetDevices(many);
    Seen some;
    some.stopAfter = 9;
    DirectSoundEnumerateA(callback, &some);
    EXPECT_EQ(some.names.size(), 9u);
}

TEST_F(DsoundTest, DevicesOpenByGuidAndAMachineWithoutSoundHasNone) {
    GUID second{};
    auto callback = [](LPGUID guid, LPCSTR, LPCSTR, void* context) -> BOOL {
        if (guid)
            *static_cast<GUID*>(context) = *guid;
        return TRUE;
    };
    DirectSoundEnumerateA(callback, &second);
    LPDIRECTSOUND other = nullptr;
    ASSERT_EQ(DirectSoundCreate(&second, &other, nullptr), DS_OK);
    EXPECT_EQ(plat::DsoundLiveObjects(), 2);
    other->Release();

    GUID unknown = second;
    unknown.Data1 ^= 1;
    EXPECT_EQ(DirectSoundCreate(&unknown, &other, nullptr), DSERR_NODRIVER);
    plat::DsoundSetDevices({});
    EXPECT_EQ(DirectSoundCreate(nullptr, &other, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(other, nullptr);
}

struct GainCase {
    LONG bufferVolume;
    LONG systemVolume;
};

class DsoundGainTest : public DsoundTest, public ::testing::WithParamInterface<GainCase> {};

// A constant 44100 Hz sample plays at exactly the gain 10^(v / 2000) of the buffer's volume and
// the primary volume together, for exactly its length, in both channels.
TEST_P(DsoundGainTest, AConstantSoundPlaysAtTheVolumeCurvesGain) {
    const GainCase& c = GetParam();
    plat::DsoundSetSystemVolume(c.systemVolume);
    LPDIRECTSOUNDBUFFER b = Make(Format(44100, 1, 16), Constant16(10000, 441));
    ASSERT_EQ(b->SetVolume(c.bufferVolume), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    plat::AdvanceVirtualTime(20);  // 882 frames
    const std::vector<int16_t> out = Captured();
    ASSERT_EQ(out.size(), 2u * 882);
    double gain = 1.0;
    for (LONG v : {c.bufferVolume, c.systemVolume})
        gain *= v <= -10000 ? 0.0 : std::pow(10.0, v / 2000.0);
    const int16_t expected = static_cast<int16_t>(std::lround(10000 * gain));
    for (size_t i = 0; i < 2 * 441; ++i)
        ASSERT_EQ(out[i], expected) << "sample " << i;
    for (size_t i = 2 * 441; i < out.size(); ++i)
        ASSERT_EQ(out[i], 0) << "sample " << i;
    EXPECT_EQ(Status(b), 0u) << "a played-out buffer is stopped";
}

INSTANTIATE_TEST_SUITE_P(Volumes, DsoundGainTest,
                         ::testing::Values(GainCase{0, 0}, GainCase{-36, 0}, GainCase{-600, 0}, GainCase{-2000, 0},
                                           GainCase{-3528, 0}, GainCase{-10000, 0}, GainCase{0, -600},
                                           GainCase{-900, -900}, GainCase{0, -10000}));

TEST_F(DsoundTest, FormatsAndRatesReachTheOutputAsStereoAt44100) {
    // 8-bit mono at 11025 Hz: each sample held for four output frames (linear steps between).
    LPDIRECTSOUNDBUFFER eight = Make(Format(11025, 1, 8), std::vector<uint8_t>(110, 0xC0));
    // 16-bit stereo at 22050 Hz: left and right stay apart.
    std::vector<uint8_t> stereo;
    for (int i = 0; i < 220; ++i) {
        for (int16_t v : {int16_t(1000), int16_t(-2000)}) {
            stereo.push_back(static_cast<uint8_t>(v));
            stereo.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
        }
    }
    LPDIRECTSOUNDBUFFER two = Make(Format(22050, 2, 16), stereo);
    ASSERT_EQ(eight->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(two->Play(0, 0, 0), DS_OK);
    plat::AdvanceVirtualTime(20);
    const std::vector<int16_t> out = Captured();
    ASSERT_EQ(out.size(), 2u * 882);
    // Both last 10 ms = 440 output frames: 110 / 11025 s and 220 / 22050 s.
    for (size_t f = 0; f < 440; ++f) {
        ASSERT_EQ(out[2 * f], 16384 + 1000) << f;
        ASSERT_EQ(out[2 * f + 1], 16384 - 2000) << f;
    }
    for (size_t f = 440; f < 882; ++f) {
        ASSERT_EQ(out[2 * f], 0) << f;
        ASSERT_EQ(out[2 * f + 1], 0) << f;
    }
}

TEST_F(DsoundTest, LoopingRunsOnUntilStoppedAndStopHoldsThePosition) {
    std::vector<uint8_t> ramp;
    for (int i = 0; i < 100; ++i) {
        ramp.push_back(static_cast<uint8_t>(i * 100));
        ramp.push_back(static_cast<uint8_t>((i * 100) >> 8));
    }
    LPDIRECTSOUNDBUFFER b = Make(Format(44100, 1, 16), ramp);
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(Status(b), static_cast<DWORD>(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    plat::AdvanceVirtualTime(10);  // 441 frames: four passes and 41
    EXPECT_EQ(Status(b), static_cast<DWORD>(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    ASSERT_EQ(b->Stop(), DS_OK);
    plat::AdvanceVirtualTime(10);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);  // on from sample 41, once
    plat::AdvanceVirtualTime(10);
    const std::vector<int16_t> out = Captured();
    ASSERT_EQ(out.size(), 2u * 1323);
    for (size_t f = 0; f < 441; ++f)
        ASSERT_EQ(out[2 * f], static_cast<int16_t>((f % 100) * 100)) << f;
    for (size_t f = 441; f < 882; ++f)
        ASSERT_EQ(out[2 * f], 0) << f;
    for (size_t f = 882; f < 882 + 59; ++f)
        ASSERT_EQ(out[2 * f], static_cast<int16_t>((f - 882 + 41) * 100)) << f;
    for (size_t f = 882 + 59; f < 1323; ++f)
        ASSERT_EQ(out[2 * f], 0) << f;
    EXPECT_EQ(Status(b), 0u);
}

TEST_F(DsoundTest, DuplicatesShareTheSamplesButNotTheirState) {
    LPDIRECTSOUNDBUFFER original = Make(Format(44100, 1, 16), Constant16(1000, 441));
    ASSERT_EQ(original->SetVolume(-600), DS_OK);
    LPDIRECTSOUNDBUFFER copy = nullptr;
    ASSERT_EQ(ds->DuplicateSoundBuffer(original, &copy), DS_OK);
    made.push_back(copy);
    LONG v = 0;
    ASSERT_EQ(copy->GetVolume(&v), DS_OK);
    EXPECT_EQ(v, -600) << "a duplicate starts with the original's volume";
    ASSERT_EQ(copy->SetVolume(0), DS_OK);
    ASSERT_EQ(original->GetVolume(&v), DS_OK);
    EXPECT_EQ(v, -600);

    // New samples written through the original are what the duplicate plays.
    void* p1 = nullptr;
    DWORD n1 = 0;
    ASSERT_EQ(original->Lock(0, 882, &p1, &n1, nullptr, nullptr, 0), DS_OK);
    std::vector<uint8_t> loud = Constant16(3000, 441);
    std::memcpy(p1, loud.data(), n1);
    original->Unlock(p1, n1, nullptr, 0);

    ASSERT_EQ(copy->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(Status(original), 0u) << "playing the duplicate leaves the original alone";
    original->Play(0, 0, 0);
    original->Stop();
    EXPECT_EQ(Status(copy), static_cast<DWORD>(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    plat::AdvanceVirtualTime(1);
    const std::vector<int16_t> out = Captured();
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out[0], 3000);
    // The original goes first; the duplicate keeps the shared memory alive.
    made.erase(made.begin());
    EXPECT_EQ(original->Release(), 0u);
    plat::AdvanceVirtualTime(1);
    EXPECT_EQ(Captured().back(), 3000);
}

TEST_F(DsoundTest, LocksCoverTheRequestedRegionAndWrapAtTheEnd) {
    LPDIRECTSOUNDBUFFER b = Make(Format(22050, 1, 8), std::vector<uint8_t>(100, 0x80));
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    ASSERT_EQ(b->Lock(90, 30, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 10u);
    EXPECT_EQ(n2, 20u);
    EXPECT_EQ(static_cast<uint8_t*>(p1) - static_cast<uint8_t*>(p2), 90);
    EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
    EXPECT_EQ(b->Unlock(static_cast<uint8_t*>(p1) + 5, n1, nullptr, 0), DSERR_INVALIDPARAM) << "past the end";
    ASSERT_EQ(b->Lock(50, 1, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
    EXPECT_EQ(n1, 100u);
    EXPECT_EQ(n2, 0u);
    EXPECT_EQ(p2, nullptr);
    EXPECT_EQ(b->Lock(100, 1, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 101, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(90, 30, &p1, &n1, nullptr, nullptr, 0), DSERR_INVALIDPARAM) << "a wrap needs a second part";
}

struct BadBuffer {
    const char* name;
    DWORD flags;
    DWORD bytes;
    WAVEFORMATEX format;
    bool withFormat;
    HRESULT expected;
};

void PrintTo(const BadBuffer& c, std::ostream* os) {
    *os << c.name;
}

class DsoundBadBufferTest : public DsoundTest, public ::testing::WithParamInterface<BadBuffer> {};

TEST_P(DsoundBadBufferTest, IsNotCreated) {
    const BadBuffer& c = GetParam();
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = c.flags;
    desc.dwBufferBytes = c.bytes;
    desc.lpwfxFormat = c.withFormat ? &c.format : nullptr;
    LPDIRECTSOUNDBUFFER b = reinterpret_cast<LPDIRECTSOUNDBUFFER>(1);
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), c.expected);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(plat::DsoundLiveBuffers(), 0);
}

WAVEFORMATEX WithChannels(WAVEFORMATEX f, WORD channels) {
    f.nChannels = channels;
    return f;
}
WAVEFORMATEX WithAlign(WAVEFORMATEX f, WORD align) {
    f.nBlockAlign = align;
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DsoundBadBufferTest,
    ::testing::Values(BadBuffer{"NoFormat", DSBCAPS_STATIC, 100, {}, false, DSERR_INVALIDPARAM},
                      BadBuffer{"ZeroChannels", DSBCAPS_STATIC, 100, WithChannels(Format(22050, 1, 16), 0), true,
                                DSERR_BADFORMAT},
                      BadBuffer{"TwelveBits", DSBCAPS_STATIC, 100, Format(22050, 1, 12), true, DSERR_BADFORMAT},
                      BadBuffer{"AlignOff", DSBCAPS_STATIC, 100, WithAlign(Format(22050, 2, 16), 2), true,
                                DSERR_BADFORMAT},
                      BadBuffer{"RateTooLow", DSBCAPS_STATIC, 100, Format(50, 1, 8), true, DSERR_BADFORMAT},
                      BadBuffer{"TooSmall", DSBCAPS_STATIC, 3, Format(22050, 1, 8), true, DSERR_INVALIDPARAM},
                      BadBuffer{"TooLarge", DSBCAPS_STATIC, 0x10000000, Format(22050, 1, 8), true, DSERR_INVALIDPARAM},
                      BadBuffer{"PrimaryWithSize", DSBCAPS_PRIMARYBUFFER, 100, {}, false, DSERR_INVALIDPARAM},
                      BadBuffer{"PrimaryWithFormat", DSBCAPS_PRIMARYBUFFER, 0, Format(22050, 1, 16), true,
                                DSERR_INVALIDPARAM}),
    [](const ::testing::TestParamInfo<BadBuffer>& info) { return std::string(info.param.name); });

TEST_F(DsoundTest, VolumeNeedsItsControlAndStaysInRange) {
    LPDIRECTSOUNDBUFFER b = Make(Format(22050, 1, 16), Constant16(0, 10));
    EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetVolume(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetVolume(-10000), DS_OK);

    WAVEFORMATEX f = Format(22050, 1, 16);
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_STATIC, 20, 0, &f};
    LPDIRECTSOUNDBUFFER plain = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &plain, nullptr), DS_OK);
    made.push_back(plain);
    EXPECT_EQ(plain->SetVolume(-100), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->SetFormat(&f), DSERR_INVALIDCALL) << "only the primary buffer takes a format";
}

TEST_F(DsoundTest, ThePrimaryVolumeIsTheSystemsAndOutlivesTheObject) {
    plat::DsoundSetSystemVolume(-250);
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME, 0, 0, nullptr};
    LPDIRECTSOUNDBUFFER primary = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &primary, nullptr), DS_OK);
    LPDIRECTSOUNDBUFFER again = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &again, nullptr), DS_OK);
    EXPECT_EQ(again, primary) << "one primary buffer per object";
    again->Release();
    WAVEFORMATEX f = Format(22050, 1, 16);
    EXPECT_EQ(primary->SetFormat(&f), DS_OK);
    EXPECT_EQ(primary->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    LONG v = 0;
    ASSERT_EQ(primary->GetVolume(&v), DS_OK);
    EXPECT_EQ(v, -250);
    ASSERT_EQ(primary->SetVolume(-900), DS_OK);
    void* p1;
    DWORD n1;
    EXPECT_EQ(primary->Lock(0, 4, &p1, &n1, nullptr, nullptr, 0), DSERR_PRIOLEVELNEEDED);
    LPDIRECTSOUNDBUFFER dup = nullptr;
    EXPECT_EQ(ds->DuplicateSoundBuffer(primary, &dup), DSERR_INVALIDCALL);
    primary->Release();
    ds->Release();
    ds = nullptr;
    EXPECT_EQ(plat::DsoundSystemVolume(), -900);

    ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &primary, nullptr), DS_OK);
    ASSERT_EQ(primary->GetVolume(&v), DS_OK);
    EXPECT_EQ(v, -900);
    primary->Release();
}

TEST_F(DsoundTest, ReleasingTheObjectSilencesItsBuffersWhichStayValid) {
    LPDIRECTSOUNDBUFFER b = Make(Format(44100, 1, 16), Constant16(500, 44100));
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(plat::DsoundPlayingBuffers(), 1);
    EXPECT_EQ(ds->Release(), 0u);
    ds = nullptr;
    EXPECT_EQ(plat::DsoundPlayingBuffers(), 0);
    EXPECT_EQ(Status(b), 0u);
    EXPECT_EQ(b->Play(0, 0, 0), DSERR_INVALIDCALL);
    EXPECT_EQ(plat::DsoundLiveBuffers(), 1);
}

TEST_F(DsoundTest, InjectedFailuresAnswerEachCallOfTheirKind) {
    LPDIRECTSOUNDBUFFER b = Make(Format(22050, 1, 16), Constant16(0, 10));
    const struct {
        plat::DsoundCall call;
        HRESULT code;
        HRESULT (*run)(LPDIRECTSOUND, LPDIRECTSOUNDBUFFER);
    } cases[] = {
        {plat::DsoundCall::Create, DSERR_NODRIVER, [](LPDIRECTSOUND, LPDIRECTSOUNDBUFFER) {
             LPDIRECTSOUND o = nullptr;
             return DirectSoundCreate(nullptr, &o, nullptr);
         }},
        {plat::DsoundCall::CreateSoundBuffer, DSERR_OUTOFMEMORY, [](LPDIRECTSOUND ds, LPDIRECTSOUNDBUFFER) {
             WAVEFORMATEX f = Format(22050, 1, 16);
             DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_STATIC, 20, 0, &f};
             LPDIRECTSOUNDBUFFER out = nullptr;
             return ds->CreateSoundBuffer(&desc, &out, nullptr);
         }},
        {plat::DsoundCall::Duplicate, DSERR_ALLOCATED, [](LPDIRECTSOUND ds, LPDIRECTSOUNDBUFFER b) {
             LPDIRECTSOUNDBUFFER out = nullptr;
             return ds->DuplicateSoundBuffer(b, &out);
         }},
        {plat::DsoundCall::Lock, DSERR_BUFFERLOST, [](LPDIRECTSOUND, LPDIRECTSOUNDBUFFER b) {
             void* p;
             DWORD n;
             return b->Lock(0, 4, &p, &n, nullptr, nullptr, 0);
         }},
        {plat::DsoundCall::SetVolume, DSERR_GENERIC, [](LPDIRECTSOUND, LPDIRECTSOUNDBUFFER b) { return b->SetVolume(0); }},
        {plat::DsoundCall::Play, DSERR_PRIOLEVELNEEDED, [](LPDIRECTSOUND, LPDIRECTSOUNDBUFFER b) { return b->Play(0, 0, 0); }},
        {plat::DsoundCall::GetStatus, DSERR_INVALIDCALL, [](LPDIRECTSOUND, LPDIRECTSOUNDBUFFER b) {
             DWORD s;
             return b->GetStatus(&s);
         }},
    };
    for (const auto& c : cases) {
        plat::DsoundSetFailure(c.call, c.code);
        EXPECT_EQ(c.run(ds, b), c.code) << static_cast<int>(c.call);
        plat::DsoundSetFailure(c.call, DS_OK);
    }
    EXPECT_EQ(plat::DsoundLiveBuffers(), 1);
    EXPECT_EQ(plat::DsoundLiveObjects(), 1);
}

TEST_F(DsoundTest, CapsAndCooperativeLevel) {
    DSCAPS caps{};
    EXPECT_EQ(ds->GetCaps(&caps), DSERR_INVALIDPARAM) << "the size must be set";
    caps.dwSize = sizeof caps;
    ASSERT_EQ(ds->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwSize, 96u);
    EXPECT_TRUE(caps.dwFlags & DSCAPS_SECONDARY16BIT);
    EXPECT_EQ(caps.dwMaxSecondarySampleRate, 100000u);

    WNDCLASSEXA cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = Proc;
    cls.lpszClassName = "DsoundTest";
    RegisterClassExA(&cls);
    HWND w = CreateWindowExA(0, "DsoundTest", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(ds->SetCooperativeLevel(w, DSSCL_EXCLUSIVE), DS_OK);
    EXPECT_EQ(ds->SetCooperativeLevel(w, 9), DSERR_INVALIDPARAM);
    EXPECT_EQ(ds->SetCooperativeLevel(nullptr, DSSCL_EXCLUSIVE), DSERR_INVALIDPARAM);
}

// The output may mix on another thread (the sound device's) while the game starts, stops and
// releases buffers.
TEST_F(DsoundTest, BuffersChangeWhileAnotherThreadMixes) {
    std::atomic<bool> done{false};
    std::thread mixer([&] {
        while (!done.load()) {
            plat::AudioOutCaptured();
            std::this_thread::yield();
        }
    });
    for (int round = 0; round < 50; ++round) {
        LPDIRECTSOUNDBUFFER b = Make(Format(22050, 1, 16), Constant16(100, 200));
        LPDIRECTSOUNDBUFFER copy = nullptr;
        ASSERT_EQ(ds->DuplicateSoundBuffer(b, &copy), DS_OK);
        copy->Play(0, 0, DSBPLAY_LOOPING);
        b->Play(0, 0, 0);
        plat::AdvanceVirtualTime(3);
        copy->SetVolume(-300);
        copy->Stop();
        copy->Release();
        made.pop_back();
        b->Release();
    }
    done = true;
    mixer.join();
    EXPECT_EQ(plat::DsoundLiveBuffers(), 0);
}

}  // namespace
