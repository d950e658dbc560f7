// The sound device: start and stop cycles that leave nothing behind, the device list and its
// tracked copies, a machine without sound, a missing primary buffer, the percent-to-attenuation
// curve, the master volume both ways, and the system volume given back.
#include <cstring>

#include "snd_fixture.h"

namespace {

using sndtest::Constant;
using sndtest::SoundTest;

size_t TrackedBlocks() {
    size_t n = 0;
    for (MemBlockHeader* b = g_MemHead; b; b = b->older)
        ++n;
    return n;
}

TEST_F(SoundTest, StartingAndStoppingAgainAndAgainLeavesNothingBehind) {
    PutFile("sounds\\sql_2clk.aud", dk::AudBytes(Constant(1000, 441)));
    MUF_Init();
    for (int cycle = 0; cycle < 3; ++cycle) {
        SCOPED_TRACE(cycle);
        ASSERT_EQ(SND_InitDevice(g_MainWindow), 1);
        EXPECT_EQ(SND_IsReady(), 1);
        ASSERT_EQ(g_SndDeviceCount, 2);
        EXPECT_EQ(g_SndDevices[0].hasGuid, 0u) << "the primary sound driver";
        EXPECT_STREQ(g_SndDevices[0].description, "Primary Sound Driver");
        EXPECT_STREQ(g_SndDevices[1].description, "Platform audio output");
        EXPECT_STREQ(g_SndDevices[1].module, "platform");
        EXPECT_EQ(TrackedBlocks(), 4u) << "a tracked copy of each name";
        EXPECT_EQ(SND_FindEntry(0x00001), &g_SndEmptyEntry) << "groups are loaded again after every start";
        SND_LoadGroup(0);
        ASSERT_NE(SND_Play(0x00001), nullptr);
        ASSERT_NE(SND_PlayLooped(0x00001), nullptr);
        EXPECT_EQ(SND_ShutdownDevice(), 1);
        EXPECT_EQ(SND_IsReady(), 0);
        EXPECT_EQ(g_DirectSound, nullptr);
        EXPECT_EQ(g_PrimaryBuffer, nullptr);
        EXPECT_EQ(g_SndDeviceCount, 0);
        EXPECT_EQ(TrackedBlocks(), 0u);
        EXPECT_EQ(plat::DsoundLiveBuffers(), 0);
        EXPECT_EQ(plat::DsoundLiveObjects(), 0);
        EXPECT_EQ(g_SndLoadedBytes, 0u);
        for (const SoundSlot& s : g_SoundSlots)
            EXPECT_EQ(s.buffer, nullptr);
    }
}

TEST_F(SoundTest, AtMostNineDevicesAreKeptAndTheFirstIsOpened) {
    std::vector<plat::DsoundDevice> devices;
    for (int i = 0; i < 12; ++i)
        devices.push_back({false, "card " + std::to_string(i), "drv" + std::to_string(i)});
    plat::DsoundSetDevices(devices);
    ASSERT_EQ(SND_InitDevice(g_MainWindow), 1);
    ASSERT_EQ(g_SndDeviceCount, SND_MAX_DEVICES);
    EXPECT_EQ(g_SndDevices[0].hasGuid, 1u);
    EXPECT_STREQ(g_SndDevices[8].description, "card 8");
    EXPECT_STREQ(g_SndDevices[8].module, "drv8");
    EXPECT_EQ(TrackedBlocks(), 18u);
    EXPECT_NE(g_DirectSound, nullptr);
    SND_ShutdownDevice();
    EXPECT_EQ(TrackedBlocks(), 0u);
}

TEST_F(SoundTest, WithoutASoundDeviceTheGameRunsSilent) {
    PutFile("sounds\\sql_2clk.aud", dk::AudBytes(Constant(1000, 441)));
    MUF_Init();
    plat::DsoundSetDevices({});
    EXPECT_EQ(SND_InitDevice(g_MainWindow), 0);
    EXPECT_EQ(g_DirectSound, nullptr);
    SND_LoadGroup(0);
    EXPECT_EQ(g_SoundGroups[0].entries[1].buffer, nullptr);
    EXPECT_EQ(SND_Play(0x00001), nullptr);
    EXPECT_EQ(SND_SetMasterVolume(50), 0);
    EXPECT_EQ(SND_GetMasterVolume(), 0);
    EXPECT_EQ(SND_ShutdownDevice(), 1);
    EXPECT_EQ(TrackedBlocks(), 0u);
}

TEST_F(SoundTest, WithoutAPrimaryBufferEffectsPlayButTheMasterVolumeIsOff) {
    PutFile("sounds\\sql_2clk.aud", dk::AudBytes(Constant(1000, 441)));
    MUF_Init();
    plat::DsoundSetFailure(plat::DsoundCall::CreateSoundBuffer, DSERR_ALLOCATED);
    ASSERT_EQ(SND_InitDevice(g_MainWindow), 1);
    plat::DsoundSetFailure(plat::DsoundCall::CreateSoundBuffer, DS_OK);
    EXPECT_EQ(g_PrimaryBuffer, nullptr);
    EXPECT_EQ(SND_SetMasterVolume(50), 0);
    EXPECT_EQ(SND_GetMasterVolume(), 0);
    SND_LoadGroup(0);
    EXPECT_NE(SND_Play(0x00001), nullptr);
}

TEST(SoundCurve, PercentToAttenuation) {
    const struct {
        int percent;
        int attenuation;
    } cases[] = {{100, 0},    {90, -36},    {75, -225},   {56, -696}, {50, -900},  {25, -2025},
                 {10, -2916}, {1, -3528},   {0, -10000},  {99, 0},    {110, -36},  {200, -3600},
                 {-1, -3672}, {-100, -14400}, {100000, -2147483647}, {-2147483647 - 1, -2147483647}};
    for (const auto& c : cases)
        EXPECT_EQ(SND_PercentToAttenuation(c.percent), c.attenuation) << c.percent;
}

TEST_F(SoundTest, TheMasterVolumeFollowsTheCurveBothWaysAndIsGivenBack) {
    plat::DsoundSetSystemVolume(-444);
    ASSERT_EQ(SND_InitDevice(g_MainWindow), 1);
    EXPECT_EQ(g_SavedPrimaryVolume, -444);
    const struct {
        int percent;
        LONG volume;
    } sets[] = {{0, -10000}, {100, 0}, {50, -900}, {1, -3528}, {90, -36}};
    for (const auto& s : sets) {
        EXPECT_EQ(SND_SetMasterVolume(s.percent), 1);
        EXPECT_EQ(plat::DsoundSystemVolume(), s.volume) << s.percent;
    }
    const struct {
        LONG volume;
        int percent;
    } gets[] = {{0, 100}, {-1, 98}, {-36, 90}, {-900, 50}, {-3528, 1}, {-3599, 0},
                {-3600, 0}, {-3601, 0}, {-10000, 0}};
    for (const auto& g : gets) {
        plat::DsoundSetSystemVolume(g.volume);
        EXPECT_EQ(SND_GetMasterVolume(), g.percent) << g.volume;
    }
    SND_SetMasterVolume(56);
    SND_ShutdownDevice();
    EXPECT_EQ(plat::DsoundSystemVolume(), -444) << "the system's own volume is back";
    EXPECT_EQ(SND_SetMasterVolume(50), 0);
}

TEST_F(SoundTest, TheDeviceCallsAreTraced) {
    std::vector<std::string> calls;
    static std::vector<std::string>* sink = nullptr;
    sink = &calls;
    SND_SetCallTrace([](const char* entry) { sink->push_back(entry); });
    SND_InitDevice(g_MainWindow);
    SND_LoadGroup(0x20000);
    SND_Play(0x10014);
    SND_ReleaseGroup(0x20000);
    SND_ShutdownDevice();
    SND_SetCallTrace(nullptr);
    SND_InitDevice(g_MainWindow);
    EXPECT_EQ(calls, (std::vector<std::string>{"SND_InitDevice", "SND_LoadGroup(0x20000)", "SND_Play(0x10014)",
                                               "SND_ReleaseGroup(0x20000)", "SND_ShutdownDevice"}));
}

}  // namespace
