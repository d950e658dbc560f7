// Sound files and groups: an .aud file written byte by byte from its layout plays back exactly,
// the data kit's files load from the archive and from disk, malformed files stay unloaded (and
// read nothing outside their entry), the loaded-bytes counters, group release and the id lookup.
#include <algorithm>

#include "datakit/demo_steps.h"
#include "snd_fixture.h"

namespace {

using sndtest::SoundTest;

// An .aud file from the layout table: version 256, 8 bytes of data, PCM mono 44100 Hz 16-bit
// (88200 bytes a second, block align 2), no extra bytes, 2 padding bytes, then four samples.
const std::vector<uint8_t> kHandAud = {
    0x00, 0x01, 0x00, 0x00,  // u32 version 256
    0x08, 0x00, 0x00, 0x00,  // u32 data size 8
    0x01, 0x00,              // u16 format tag 1 (PCM)
    0x01, 0x00,              // u16 channels 1
    0x44, 0xAC, 0x00, 0x00,  // u32 44100 samples per second
    0x88, 0x58, 0x01, 0x00,  // u32 88200 bytes per second
    0x02, 0x00,              // u16 block align 2
    0x10, 0x00,              // u16 16 bits per sample
    0x00, 0x00,              // u16 extra size 0
    0x00, 0x00,              // padding
    0xE8, 0x03, 0x18, 0xFC,  // 1000, -1000
    0xD0, 0x07, 0xFF, 0x7F,  // 2000, 32767
};

TEST_F(SoundTest, AHandWrittenFileLoadsAndPlaysItsSamples) {
    PutFile("sounds\\sql_2clk.aud", kHandAud);  // a loose file: the archive layer's disk fallback
    Start();
    SND_LoadGroup(0x0000);
    SoundEntry* entry = SND_FindEntry(0x00001);
    ASSERT_NE(entry->buffer, nullptr);
    EXPECT_EQ(entry->bytes, 8u);
    EXPECT_EQ(g_SndLoadedBytes, 8u);
    EXPECT_EQ(g_SndPeakBytes, 8u);
    ASSERT_NE(SND_Play(0x00001), nullptr);
    plat::AdvanceVirtualTime(1);
    const std::vector<int16_t> left = Left();
    ASSERT_GE(left.size(), 5u);
    EXPECT_EQ(std::vector<int16_t>(left.begin(), left.begin() + 5), (std::vector<int16_t>{1000, -1000, 2000, 32767, 0}));
}

TEST_F(SoundTest, KitFilesLoadFromTheArchiveAtAnyRateAndDepth) {
    const dk::AudSound sine = dk::AudFromSamples(dk::SineSamples(1000, 22050, 2205, 0.5), 22050, 16, 1);
    const dk::AudSound eight = dk::AudFromSamples(dk::SineSamples(500, 11025, 1103, 0.5), 11025, 8, 1);
    const dk::AudSound stereo = dk::AudFromSamples(dk::SineSamples(300, 44100, 441, 0.5), 44100, 16, 2);
    PutArchive({{"sounds/sql_2clk.aud", dk::AudBytes(sine)},
                {"sounds/baseb_sq.aud", dk::AudBytes(eight)},
                {"sounds/radar_up.aud", dk::AudBytes(stereo)}});
    Start();
    SND_LoadGroup(0x0003);  // the index half is ignored
    const uint32_t sizes[] = {4410, 1103, 1764};
    uint32_t total = 0;
    for (uint32_t i = 0; i < 3; ++i) {
        const SoundEntry& e = g_SoundGroups[0].entries[i + 1];
        ASSERT_NE(e.buffer, nullptr) << i;
        EXPECT_EQ(e.bytes, sizes[i]) << i;
        total += sizes[i];
    }
    EXPECT_EQ(g_SoundGroups[0].entries[4].buffer, nullptr) << "no file for radar_dn";
    EXPECT_EQ(g_SndLoadedBytes, total);

    // The 1 kHz sine is heard: its samples alternate in sign about 2000 times a second.
    ASSERT_NE(SND_Play(0x00001), nullptr);
    plat::AdvanceVirtualTime(100);
    const std::vector<int16_t> left = Left();
    int crossings = 0;
    int16_t peak = 0;
    for (size_t i = 1; i < left.size(); ++i) {
        crossings += (left[i - 1] < 0) != (left[i] < 0);
        peak = std::max(peak, left[i]);
    }
    EXPECT_NEAR(crossings, 200, 4);
    EXPECT_NEAR(peak, 16384, 200);

    SND_ReleaseGroup(0x0000);
    EXPECT_EQ(g_SndLoadedBytes, 0u);
    EXPECT_EQ(g_SndPeakBytes, total) << "the peak stays";
    for (int i = 1; i <= 6; ++i)
        EXPECT_EQ(g_SoundGroups[0].entries[i].buffer, nullptr);
    EXPECT_EQ(plat::DsoundLiveBuffers(), 1) << "only the primary buffer is left";
}

// A header field changed; the file stays unloaded.
struct BadAud {
    const char* name;
    size_t offset;                // where the change goes
    std::vector<uint8_t> bytes;   // what is written there
    size_t keep;                  // bytes of the file kept (0: all)
};

void PrintTo(const BadAud& c, std::ostream* os) {
    *os << c.name;
}

class BadAudTest : public SoundTest, public ::testing::WithParamInterface<BadAud> {};

// Each bad file is followed, in the archive, by a good one, so a read past its end would find
// bytes to read.
TEST_P(BadAudTest, StaysUnloaded) {
    const BadAud& c = GetParam();
    std::vector<uint8_t> bad = dk::AudBytes(sndtest::Constant(100, 64));
    for (size_t i = 0; i < c.bytes.size(); ++i)
        bad[c.offset + i] = c.bytes[i];
    if (c.keep)
        bad.resize(c.keep);
    const std::vector<uint8_t> good = dk::AudBytes(sndtest::Constant(200, 4096));
    for (bool inArchive : {true, false}) {
        SCOPED_TRACE(inArchive ? "archive" : "disk");
        if (inArchive)
            PutArchive({{"sounds/baseb_sq.aud", bad}, {"sounds/gte_sqwk.aud", good}});
        else
            PutFile("sounds\\baseb_sq.aud", bad);
        Start();
        SND_LoadGroup(0);
        EXPECT_EQ(g_SoundGroups[0].entries[2].buffer, nullptr);
        EXPECT_EQ(g_SoundGroups[0].entries[2].bytes, 0u);
        EXPECT_EQ(SND_Play(0x00002), nullptr);
        EXPECT_EQ(g_SndLoadedBytes, inArchive ? 8192u : 0u);
        SND_ReleaseGroup(0);
        SND_ShutdownDevice();
        MUF_CloseAll();
        std::filesystem::remove(dir_ / "sounds.muf");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadAudTest,
    ::testing::Values(BadAud{"VersionNot256", 0, {0xFF, 0x00}, 0},
                      BadAud{"DataShorterThanTheHeaderSays", 4, {0x81, 0x00}, 0},
                      BadAud{"HugeDataSize", 4, {0xF0, 0xFF, 0xFF, 0xFF}, 0},
                      BadAud{"NoData", 4, {0x00, 0x00}, 0},
                      BadAud{"FormatTagNotPcm", 8, {0x02}, 0},
                      BadAud{"ZeroChannels", 10, {0x00}, 0},
                      BadAud{"ThreeChannels", 10, {0x03}, 0},
                      BadAud{"TwelveBits", 22, {0x0C}, 0},
                      BadAud{"BlockAlignOff", 20, {0x04}, 0},
                      BadAud{"RateZero", 12, {0x00, 0x00, 0x00, 0x00}, 0},
                      BadAud{"RateTooHigh", 12, {0x00, 0x00, 0x10, 0x00}, 0},
                      BadAud{"HeaderCutShort", 0, {}, 20},
                      BadAud{"OneByte", 0, {}, 1}),
    [](const ::testing::TestParamInfo<BadAud>& info) { return std::string(info.param.name); });

TEST_F(SoundTest, NothingLoadsWithoutTheDeviceOrTheFile) {
    PutFile("sounds\\sql_2clk.aud", kHandAud);
    MUF_Init();
    SoundEntry entry = {reinterpret_cast<LPDIRECTSOUNDBUFFER>(1), 99, "sounds\\sql_2clk.aud"};
    EXPECT_EQ(SND_LoadAud(&entry), 0) << "no device";
    EXPECT_EQ(entry.buffer, nullptr);
    EXPECT_EQ(entry.bytes, 0u);
    ASSERT_EQ(SND_InitDevice(g_MainWindow), 1);
    EXPECT_EQ(SND_LoadAud(&entry), 1);
    EXPECT_EQ(g_SndLoadedBytes, 8u);
    entry.buffer->Release();
    g_SndLoadedBytes -= 8;
    SoundEntry missing = {nullptr, 0, "sounds\\no_such.aud"};
    EXPECT_EQ(SND_LoadSpeechAud(&missing), 0);
    EXPECT_EQ(missing.buffer, nullptr);
}

TEST_F(SoundTest, UnknownIdsFindTheSharedEmptyEntryAndCountAMiss) {
    PutFile("sounds\\sql_2clk.aud", kHandAud);
    Start();
    SND_LoadGroup(0);
    const SoundId unknown[] = {0x00000, 0x00002, 0x00007, 0x130001, 0xFFFF0001, 0x50001, SND_NO_SOUND};
    for (SoundId id : unknown) {
        const uint32_t misses = g_SndMissCount;
        SoundEntry* e = SND_FindEntry(id);
        EXPECT_EQ(e, &g_SndEmptyEntry) << std::hex << id;
        EXPECT_EQ(e->buffer, nullptr);
        EXPECT_EQ(g_SndMissCount, misses + 1) << std::hex << id;
        EXPECT_EQ(SND_Play(id), nullptr);
    }
    EXPECT_EQ(SND_FindEntry(0x00001), &g_SoundGroups[0].entries[1]);
    // Groups beyond the table load and release nothing.
    SND_LoadGroup(0x130000);
    SND_ReleaseGroup(0x130000);
    EXPECT_EQ(g_SndLoadedBytes, 8u);
}

TEST_F(SoundTest, TheGroupTableHoldsTheGamesSounds) {
    const int counts[] = {6, 86, 6, 12, 13, 0, 3, 1, 6, 8, 0, 9, 6, 0, 1, 15, 4, 9, 4};
    const auto& kitFiles = dk::SoundGroupFiles();
    for (int g = 0; g < SND_GROUP_COUNT; ++g) {
        EXPECT_EQ(g_SoundGroups[g].count, counts[g]) << g;
        EXPECT_EQ(g_SoundGroups[g].entries[0].fileName, nullptr) << "index 0 holds no sound";
        EXPECT_EQ(g_SoundGroups[g].entries[counts[g] + 1].fileName, nullptr) << "ended by a null name";
        // Written independently in the data kit: the two lists must agree.
        for (int i = 1; i <= counts[g]; ++i)
            EXPECT_EQ(std::string(g_SoundGroups[g].entries[i].fileName), kitFiles[size_t(g)][size_t(i - 1)]);
    }
    EXPECT_STREQ(g_SoundGroups[1].entries[65].fileName, "sounds\\pump_action sg.aud");
    EXPECT_STREQ(g_SoundGroups[1].entries[26].fileName, "sounds\\zom_sp~1.aud");
    EXPECT_STREQ(g_SoundGroups[1].entries[20].fileName, "sounds\\zomfx_01.aud");  // id 0x10014
}

TEST_F(SoundTest, TheDemoInstallHasEverySoundTheGroupsName) {
    ASSERT_TRUE(dk::DemoSounds(dir_.string()));
    std::vector<dk::MufFile> files;
    ASSERT_TRUE(dk::CollectFiles((dir_ / "sounds").string(), &files));
    for (dk::MufFile& f : files)
        f.name = "sounds/" + f.name;
    std::filesystem::remove_all(dir_ / "sounds");
    PutArchive(files);
    Start();
    for (uint32_t g = 0; g < SND_GROUP_COUNT; ++g) {
        SND_LoadGroup(g << 16);
        for (int i = 1; i <= g_SoundGroups[g].count; ++i)
            EXPECT_NE(g_SoundGroups[g].entries[i].buffer, nullptr) << g_SoundGroups[g].entries[i].fileName;
        SND_ReleaseGroup(g << 16);
    }
}

}  // namespace
