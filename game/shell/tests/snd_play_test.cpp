// Playing sounds: what reaches the audio output at full volume and along the volume curve, the
// 32 slots (exhaustion, reuse, one recycled finished slot per request), looping and stopping,
// halted play, the distance rule, the network game's rules and the exact message bytes, the
// failure text, and a capture file of what was played.
#include <cstring>
#include <fstream>
#include <iterator>

#include "net/net.h"
#include "snd_fixture.h"
#include "testsupport/net_test_seam.h"

namespace {

using sndtest::Constant;
using sndtest::Gain;
using sndtest::SoundTest;

// Writes group 0 (six interface sounds) and group 1's entries 10, 11, 20 and 86 as loose files.
class PlayTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        PutFile("sounds\\sql_2clk.aud", dk::AudBytes(Constant(10000, 441)));    // 0x00001: 10 ms
        PutFile("sounds\\baseb_sq.aud", dk::AudBytes(Constant(-7000, 44100)));  // 0x00002: 1 s
        PutFile("sounds\\radar_up.aud", dk::AudBytes(Constant(300, 2205)));     // 0x00003: 50 ms
        PutFile("sounds\\vitality.aud", dk::AudBytes(Constant(1, 441)));        // 0x1000A
        PutFile("sounds\\foot_in_r.aud", dk::AudBytes(Constant(2, 441)));       // 0x1000B
        PutFile("sounds\\zomfx_01.aud", dk::AudBytes(Constant(3, 441)));        // 0x10014
        PutFile("sounds\\fall_juicy_02.aud", dk::AudBytes(Constant(4, 441)));   // 0x10056
        PutFile("sounds\\lightning.aud", dk::AudBytes(Constant(5, 441)));       // 0x20001
        PutFile("sounds\\wolves_long.aud", dk::AudBytes(Constant(6, 441)));     // 0x20003
        Start();
        SND_LoadGroup(0x00000);
        SND_LoadGroup(0x10000);
        SND_LoadGroup(0x20000);
    }

    static int Used() {
        int n = 0;
        for (const SoundSlot& s : g_SoundSlots)
            n += s.buffer ? 1 : 0;
        return n;
    }
};

TEST_F(PlayTest, ASoundPlaysAtFullGainAndAlongTheVolumeCurve) {
    const struct {
        int percent;  // -1: SND_Play
        int attenuation;
    } cases[] = {{-1, 0}, {100, 0}, {90, -36}, {56, -696}, {50, -900}, {25, -2025}, {1, -3528}, {0, -10000}};
    size_t at = 0;
    for (const auto& c : cases) {
        SoundSlot* slot = c.percent < 0 ? SND_Play(0x00001) : SND_PlayAtVolume(0x00001, c.percent);
        ASSERT_NE(slot, nullptr);
        ASSERT_NE(slot->buffer, nullptr);
        plat::AdvanceVirtualTime(20);
        const std::vector<int16_t> left = Left();
        ASSERT_EQ(left.size(), at + 882);
        const int16_t expected = static_cast<int16_t>(std::lround(10000 * Gain(c.attenuation)));
        for (size_t i = 0; i < 441; ++i)
            ASSERT_EQ(left[at + i], expected) << c.percent << " sample " << i;
        for (size_t i = 441; i < 882; ++i)
            ASSERT_EQ(left[at + i], 0) << c.percent << " sample " << i;
        at = left.size();
    }
}

TEST_F(PlayTest, TheMasterVolumeScalesEverySound) {
    ASSERT_EQ(SND_SetMasterVolume(50), 1);
    ASSERT_NE(SND_PlayAtVolume(0x00001, 90), nullptr);
    plat::AdvanceVirtualTime(10);
    const std::vector<int16_t> left = Left();
    ASSERT_EQ(left.size(), 441u);
    EXPECT_EQ(left[0], static_cast<int16_t>(std::lround(10000 * Gain(-36) * Gain(-900))));
}

TEST_F(PlayTest, SlotsRunOutAndAFinishedOneIsReused) {
    // 32 one-second sounds fill every slot; the 33rd play finds none.
    for (int i = 0; i < SND_SLOT_COUNT; ++i)
        ASSERT_EQ(SND_Play(0x00002), &g_SoundSlots[i]) << i;
    EXPECT_EQ(SND_Play(0x00001), nullptr);
    EXPECT_EQ(g_SndSlotFailures, 1u);
    EXPECT_EQ(plat::DsoundPlayingBuffers(), 32) << "nothing playing was cut off";

    // Stop slot 5: the next request recycles exactly that one.
    SND_StopBuffer(&g_SoundSlots[5]);
    LPDIRECTSOUNDBUFFER before[SND_SLOT_COUNT];
    for (int i = 0; i < SND_SLOT_COUNT; ++i)
        before[i] = g_SoundSlots[i].buffer;
    EXPECT_EQ(SND_Play(0x00001), &g_SoundSlots[5]);
    for (int i = 0; i < SND_SLOT_COUNT; ++i) {
        if (i != 5) {
            EXPECT_EQ(g_SoundSlots[i].buffer, before[i]) << i;
        }
    }

    // When everything has finished, one request recycles only the first finished slot.
    plat::AdvanceVirtualTime(1100);
    EXPECT_EQ(plat::DsoundPlayingBuffers(), 0);
    const int buffers = plat::DsoundLiveBuffers();
    EXPECT_EQ(SND_Play(0x00003), &g_SoundSlots[0]);
    EXPECT_EQ(Used(), SND_SLOT_COUNT);
    EXPECT_EQ(plat::DsoundLiveBuffers(), buffers) << "one released, one duplicated";
    EXPECT_EQ(SND_Play(0x00003), &g_SoundSlots[1]);
    EXPECT_EQ(g_SndSlotFailures, 1u);
}

TEST_F(PlayTest, TheWalkStopsAtTheFirstFinishedSlot) {
    SoundSlot* first = SND_Play(0x00001);
    ASSERT_EQ(first, &g_SoundSlots[0]);
    ASSERT_EQ(SND_Play(0x00002), &g_SoundSlots[1]);
    plat::AdvanceVirtualTime(20);  // slot 0 has finished, slot 1 plays on
    SND_ReleasePlaybackSlots();
    EXPECT_EQ(Used(), 0);
    ASSERT_EQ(SND_Play(0x00002), &g_SoundSlots[0]);
    ASSERT_EQ(SND_Play(0x00001), &g_SoundSlots[1]);
    plat::AdvanceVirtualTime(20);
    // Slot 0 plays, slot 1 has finished, slot 2 is free: the walk stops at the finished slot 1.
    EXPECT_EQ(SND_Play(0x00003), &g_SoundSlots[1]);
    EXPECT_EQ(Used(), 2);
}

TEST_F(PlayTest, LoopingPlaysOnUntilStopped) {
    SoundSlot* slot = SND_PlayLooped(0x00003);
    ASSERT_NE(slot, nullptr);
    plat::AdvanceVirtualTime(200);  // four passes of 50 ms
    EXPECT_EQ(plat::DsoundPlayingBuffers(), 1);
    std::vector<int16_t> left = Left();
    EXPECT_EQ(left[8000], 300);
    SND_StopBuffer(slot);
    SND_StopBuffer(nullptr);
    SND_StopBuffer(&g_SndEmptySlot);
    EXPECT_EQ(plat::DsoundPlayingBuffers(), 0);
    plat::AdvanceVirtualTime(10);
    EXPECT_EQ(Left().back(), 0);
}

TEST_F(PlayTest, HaltedPlayStartsNothingButLetsSoundsFinish) {
    ASSERT_NE(SND_PlayLooped(0x00003), nullptr);
    g_Match.inLevel = 1;
    g_Match.halted = 1;
    EXPECT_EQ(SND_Play(0x00001), nullptr);
    EXPECT_EQ(SND_PlayAtVolume(0x00001, 50), nullptr);
    EXPECT_EQ(SND_PlayLooped(0x00001), nullptr);
    const float here[3] = {0, 0, 0};
    SND_PlayAt(0x00001, here, 100, 1500);
    EXPECT_EQ(Used(), 1);
    EXPECT_EQ(plat::DsoundPlayingBuffers(), 1) << "the looping sound goes on";
    g_Match.halted = 0;
    EXPECT_NE(SND_Play(0x00001), nullptr);
}

TEST_F(PlayTest, TheDistanceRuleMeasuresInXAndZ) {
    const struct {
        const char* name;
        float listener[3];
        float source[3];
        int volume;
        float radius;
        int audible;
        int percent;  // the volume it plays at, when audible
    } cases[] = {
        {"at the listener", {0, 0, 0}, {0, 0, 0}, 80, 1000, 1, 80},
        {"half the radius away", {0, 0, 0}, {500, 0, 0}, 100, 1000, 1, 75},
        {"half the radius in z", {10, 0, 20}, {10, 0, 520}, 100, 1000, 1, 75},
        {"height does not count", {0, 5000, 0}, {0, -5000, 500}, 100, 1000, 1, 75},
        {"just inside", {0, 0, 0}, {999, 0, 0}, 100, 1000, 1, 0},
        {"exactly at the radius", {0, 0, 0}, {1000, 0, 0}, 100, 1000, 0, 0},
        {"on the diagonal, outside", {0, 0, 0}, {800, 0, 800}, 100, 1000, 0, 0},
        {"on the diagonal, inside", {0, 0, 0}, {500, 0, 500}, 100, 1000, 1, 50},
        {"behind, far", {0, 0, 0}, {-3000, 0, 0}, 100, 1000, 0, 0},
        {"truncated volume", {0, 0, 0}, {300, 0, 0}, 55, 1000, 1, 50},
    };
    for (const auto& c : cases) {
        std::memcpy(g_SndListener, c.listener, sizeof g_SndListener);
        int pan = 7, attenuation = 1;
        EXPECT_EQ(SND_SphereVolume(c.source, &pan, &attenuation, c.volume, c.radius), c.audible) << c.name;
        EXPECT_EQ(pan, 0) << c.name;
        if (c.audible) {
            EXPECT_EQ(attenuation, SND_PercentToAttenuation(c.percent)) << c.name;
        }
    }
}

TEST_F(PlayTest, APlayAtAPositionIsHeardAtTheDistanceVolume) {
    const float source[3] = {500, 0, 0};
    SND_PlayAt(0x00001, source, 100, 1000.0f);
    plat::AdvanceVirtualTime(10);
    std::vector<int16_t> left = Left();
    ASSERT_EQ(left.size(), 441u);
    EXPECT_EQ(left[0], static_cast<int16_t>(std::lround(10000 * Gain(SND_PercentToAttenuation(75)))));
    const float far[3] = {1000, 0, 0};
    SND_PlayAt(0x00001, far, 100, 1000.0f);
    EXPECT_EQ(plat::DsoundPlayingBuffers(), 0) << "silent at the radius: no slot is even taken";
    EXPECT_EQ(Used(), 1);
}

// A loopback transport that records broadcasts.
struct Broadcast {
    int from;
    std::vector<uint8_t> bytes;
};
std::vector<Broadcast> g_Broadcasts;
int g_IsHost = 0;

const NetTestTransport kRecorder = {
    [](int, int, const uint8_t*, int) { return 0; },
    [](int from, const uint8_t* bytes, int length) {
        g_Broadcasts.push_back({from, std::vector<uint8_t>(bytes, bytes + length)});
        return 1;
    },
    [](int, NetMessageHandler) { return 1; },
    [] { return 3; },
    [] { return 0; },
    [] { return g_IsHost; },
    [](int) { return -1; },
    [](int) -> const char* { return nullptr; },
};

class NetworkPlayTest : public PlayTest {
protected:
    void SetUp() override {
        PlayTest::SetUp();
        g_Broadcasts.clear();
        NET_SetTestTransport(&kRecorder);
        g_Match.mpGameRunning = 1;
        g_Match.localSlot = 3;
    }
    void TearDown() override {
        NET_SetTestTransport(nullptr);
        g_Match.mpGameRunning = 0;
        PlayTest::TearDown();
    }
};

std::vector<uint8_t> Message10(SoundId id) {
    return {10, 0, 0, 0, uint8_t(id), uint8_t(id >> 8), uint8_t(id >> 16), uint8_t(id >> 24)};
}

TEST_F(NetworkPlayTest, HostsAndClientsAnnounceTheirRangesAndClientsLeaveGameSoundsToTheHost) {
    const struct {
        int host;
        SoundId id;
        bool announced;
        bool plays;
    } cases[] = {
        {0, 0x10014, true, false},   // a client announces and leaves it to the host
        {1, 0x10014, true, true},
        {0, 0x20003, false, false},  // a level sound: beyond a client's range, and not played
        {1, 0x20003, true, true},
        {0, 0x00001, false, true},   // interface sounds always play and are never announced
        {1, 0x00003, false, true},
        {0, 0x1000A, false, true},   // group 1 indexes 1 to 10 play on a client
        {0, 0x1000B, true, false},
        {0, 0x10056, true, false},
        {1, 0x20001, false, false},  // the graveyard's lightning never plays in a network game
        {0, 0x20001, false, false},
    };
    for (const auto& c : cases) {
        g_IsHost = c.host;
        g_Broadcasts.clear();
        SND_ReleasePlaybackSlots();
        SoundSlot* slot = SND_Play(c.id);
        SCOPED_TRACE(::testing::Message() << (c.host ? "host " : "client ") << std::hex << c.id);
        EXPECT_EQ(slot != nullptr, c.plays);
        if (c.announced) {
            ASSERT_EQ(g_Broadcasts.size(), 1u);
            EXPECT_EQ(g_Broadcasts[0].from, 3) << "sent from the local player's slot";
            EXPECT_EQ(g_Broadcasts[0].bytes, Message10(c.id));
        } else {
            EXPECT_TRUE(g_Broadcasts.empty());
        }
    }
    // Looping sounds are never announced.
    g_IsHost = 1;
    g_Broadcasts.clear();
    EXPECT_NE(SND_PlayLooped(0x10014), nullptr);
    EXPECT_TRUE(g_Broadcasts.empty());
}

TEST_F(NetworkPlayTest, APositionedPlayIsAnnouncedWithItsPlaceAndHeardByAClientToo) {
    const float at[3] = {1.5f, -2.0f, 300.0f};
    const std::vector<uint8_t> expected = {
        11, 0, 0, 0,               // type 11, padding
        0x14, 0x00, 0x01, 0x00,    // id 0x10014
        0x00, 0x00, 0xC0, 0x3F,    // x 1.5
        0x00, 0x00, 0x00, 0xC0,    // y -2.0
        0x00, 0x00, 0x96, 0x43,    // z 300.0
        0x50, 0x00, 0x00, 0x00,    // volume 80
        0x00, 0x80, 0xBB, 0x44,    // radius 1500.0
    };
    for (int host : {1, 0}) {
        g_IsHost = host;
        g_Broadcasts.clear();
        SND_ReleasePlaybackSlots();
        SND_PlayAt(0x10014, at, 80, 1500.0f);
        ASSERT_EQ(g_Broadcasts.size(), 1u) << host;
        EXPECT_EQ(g_Broadcasts[0].bytes, expected) << host;
        EXPECT_EQ(plat::DsoundPlayingBuffers(), 1) << "heard here as well, host " << host;
    }
    // Out of hearing it is still announced.
    const float far[3] = {90000.0f, 0.0f, 0.0f};
    g_Broadcasts.clear();
    SND_PlayAt(0x10014, far, 80, 1500.0f);
    EXPECT_EQ(g_Broadcasts.size(), 1u);
    // The lightning never plays and is never announced.
    g_Broadcasts.clear();
    SND_PlayAt(0x20001, at, 80, 1500.0f);
    EXPECT_TRUE(g_Broadcasts.empty());
}

TEST_F(PlayTest, AFailedDuplicationKeepsItsTextAndCountsAFailure) {
    plat::DsoundSetFailure(plat::DsoundCall::Duplicate, DSERR_ALLOCATED);
    EXPECT_EQ(SND_Play(0x00001), nullptr);
    EXPECT_EQ(g_SndSlotFailures, 1u);
    ASSERT_NE(g_SndLastError, nullptr);
    EXPECT_STREQ(g_SndLastError,
                 "The request failed because resources, such as a priority level, were already in use by another "
                 "caller. ");
    plat::DsoundSetFailure(plat::DsoundCall::Duplicate, static_cast<HRESULT>(0x80001234u));
    EXPECT_EQ(SND_Play(0x00001), nullptr);
    EXPECT_EQ(g_SndSlotFailures, 2u);
    EXPECT_STREQ(g_SndLastError,
                 "The request failed because resources, such as a priority level, were already in use by another "
                 "caller. ")
        << "an unknown result leaves the text";
    plat::DsoundSetFailure(plat::DsoundCall::Duplicate, DS_OK);
    EXPECT_EQ(Used(), 0);
}

TEST(SoundErrorText, FifteenResultsEachWithATrailingBlank) {
    const uint32_t results[] = {0x887800AA, 0x887800A0, 0x88780096, 0x88780082, 0x88780078,
                                0x88780064, 0x88780046, 0x88780032, 0x8878001E, 0x8878000A,
                                0x80070057, 0x8007000E, 0x80040110, 0x80004005, 0x80004001};
    for (uint32_t r : results) {
        const char* text = SND_ErrorText(static_cast<HRESULT>(r));
        ASSERT_NE(text, nullptr) << std::hex << r;
        EXPECT_EQ(text[std::strlen(text) - 1], ' ') << std::hex << r;
    }
    EXPECT_STREQ(SND_ErrorText(DSERR_NODRIVER), "No sound driver is available for use. ");
    EXPECT_EQ(SND_ErrorText(DS_OK), nullptr);
    EXPECT_EQ(SND_ErrorText(static_cast<HRESULT>(0x88780001)), nullptr);
}

// PLATFORM_AUDIO_OUT keeps what the game played in a wave file written when the process ends.
TEST_F(PlayTest, TheCaptureFileHoldsWhatWasPlayed) {
    const std::string wav = (dir_ / "out.wav").string();
    EXPECT_EXIT(
        {
            SND_ShutdownDevice();
            setenv("PLATFORM_AUDIO_OUT", wav.c_str(), 1);
            plat::AudioOutResetForTests(false);  // takes the file at the next use
            SND_InitDevice(g_MainWindow);
            SND_LoadGroup(0);
            SND_Play(0x00001);
            plat::AdvanceVirtualTime(20);
            SND_PlayAtVolume(0x00003, 50);
            plat::AdvanceVirtualTime(60);
            plat::ExitProcessNow(0);
        },
        ::testing::ExitedWithCode(0), "");
    std::ifstream in(wav, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 44u);
    std::vector<int16_t> left;
    for (size_t i = 44; i + 3 < bytes.size(); i += 4)
        left.push_back(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    // 10 ms of the click at full volume, 10 ms of silence, 50 ms of the radar at 50 percent.
    ASSERT_EQ(left.size(), 3528u);
    const int16_t half = static_cast<int16_t>(std::lround(300 * Gain(-900)));
    for (size_t i = 0; i < left.size(); ++i) {
        const int16_t expected = i < 441 ? 10000 : (i >= 882 && i < 882 + 2205) ? half : 0;
        ASSERT_EQ(left[i], expected) << i;
    }
}

}  // namespace
