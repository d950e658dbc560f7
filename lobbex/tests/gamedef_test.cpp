// The game definition GAMEDEF in the TEMP key: loading binds its game slot (GICS address,
// transport, join word, own address record) with the specified result for a good record, one of
// another length, a bad game handle, a missing value or key and a value of the wrong type; a
// joined slot is never re-prepared; saving stamps the trace word. Also the binary objects under
// it and the player address records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "krcgame.h"
#include "krreg.h"
#include "lobbex_exports.h"
#include "registry.h"
#include "test_machine.h"

namespace {

// A GAMEDEF written byte by byte from its layout: HGAME 5, own KRADDR 0, join word 0x11223344,
// the GICS as a udp address 10.1.2.3 port 7000 (family 3 little-endian, port and address in
// network order), player name "Ghoul", trace word 0 at 892, the no-wait word 1 at 896.
std::vector<uint8_t> GameDefBytes(uint16_t game = 5, uint16_t family = 3, uint32_t size = GAMEDEF_GAME_SIZE) {
    std::vector<uint8_t> b(size, 0);
    const uint8_t head[] = {
        // 0: HGAME        2: pad      4: own KRADDR            8: join word
        uint8_t(game), uint8_t(game >> 8), 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x44, 0x33, 0x22, 0x11,
        // 12..19: not read by the library
        0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x01, 0x02,
        // 20: family    port 7000    10.1.2.3                 inner (8 zero bytes)
        uint8_t(family), 0x00, 0x1B, 0x58, 0x0A, 0x01, 0x02, 0x03, 0, 0, 0, 0, 0, 0, 0, 0,
        // 36: player name
        'G', 'h', 'o', 'u', 'l', 0x00};
    std::memcpy(b.data(), head, std::min<size_t>(sizeof head, size));
    if (size >= 900) {
        b[896] = 0x01;
    }
    return b;
}

void Reset() {
    for (HGAME g = 0; g < KR_MAX_GAMES; ++g) {
        KRGAME_CB* slot = GetGamePtr(g);
        slot->state = KRGAME_FREE;
        slot->joinWord = 0;
        slot->unreliable = -1;
    }
    kt::DeleteValue("TEMP", "GAMEDEF");
}

class GameDef : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("PLATFORM_HOST_ADDRESS", "127.0.0.1", 1);
        traceWord_ = KrGetTrace();
        Reset();
    }
    void TearDown() override {
        Reset();
        KrSetTrace(traceWord_);
    }
    uint32_t traceWord_ = 0;
};

TEST_F(GameDef, LoadingGivesTheSpecifiedResultForEachStoredForm) {
    enum Store { Good, Longer, Shorter, BadHandle, Negative, Number, Missing };
    struct Case {
        const char* name;
        Store store;
        int result;
        int16_t boundSlot; // -1: no slot changes
    } cases[] = {
        {"good record", Good, 0, 5},
        {"longer record: bound, incompatible", Longer, KR_GAMEDEF_INCOMPATIBLE, 5},
        {"shorter record: bound, incompatible", Shorter, KR_GAMEDEF_INCOMPATIBLE, 5},
        {"HGAME 16", BadHandle, KR_GAMEDEF_UNAVAILABLE, -1},
        {"HGAME -1", Negative, KR_GAMEDEF_UNAVAILABLE, -1},
        {"a number value", Number, KR_GAMEDEF_INCOMPATIBLE, -1},
        {"no value", Missing, KR_GAMEDEF_UNAVAILABLE, -1},
    };
    for (const Case& c : cases) {
        Reset();
        switch (c.store) {
        case Good: kt::SetBinary("TEMP", "GAMEDEF", GameDefBytes()); break;
        case Longer: kt::SetBinary("TEMP", "GAMEDEF", GameDefBytes(5, 3, 1200)); break;
        case Shorter: kt::SetBinary("TEMP", "GAMEDEF", GameDefBytes(5, 3, 40)); break;
        case BadHandle: kt::SetBinary("TEMP", "GAMEDEF", GameDefBytes(16)); break;
        case Negative: kt::SetBinary("TEMP", "GAMEDEF", GameDefBytes(0xFFFF)); break;
        case Number: kt::SetNumber("TEMP", "GAMEDEF", 5); break;
        case Missing: break;
        }
        std::vector<uint8_t> buffer(GAMEDEF_GAME_SIZE, 0xEE);
        EXPECT_EQ(KrLoadGameDef(reinterpret_cast<GAMEDEF*>(buffer.data()), int16_t(buffer.size())), c.result) << c.name;
        for (HGAME g = 0; g < KR_MAX_GAMES; ++g) {
            const KRGAME_CB* slot = GetGamePtr(g);
            if (g != c.boundSlot) {
                EXPECT_EQ(slot->state, KRGAME_FREE) << c.name << " slot " << g;
                continue;
            }
            EXPECT_EQ(slot->state, KRGAME_PREPARED) << c.name;
            EXPECT_EQ(slot->joinWord, 0x11223344u) << c.name;
            EXPECT_EQ(slot->unreliable, 1) << c.name << ": a udp GICS";
            EXPECT_EQ(slot->gicsAddress.sin_family, AF_INET) << c.name;
            EXPECT_EQ(ntohs(slot->gicsAddress.sin_port), 7000) << c.name;
            EXPECT_EQ(ntohl(slot->gicsAddress.sin_addr.s_addr), 0x0A010203u) << c.name;
            EXPECT_EQ(slot->ownAddress.family, KR_AF_KRADDR) << c.name;
            EXPECT_EQ(slot->ownAddress.kraddr, 0u) << c.name;
            EXPECT_EQ(ntohl(slot->ownAddress.in.sin_addr.s_addr), 0x7F000001u) << c.name;
            EXPECT_STREQ(reinterpret_cast<const char*>(buffer.data()) + GAMEDEF_NAME, c.store == Shorter ? "Ghou" : "Ghoul")
                << c.name << ": the record's bytes are in the buffer";
        }
        if (c.store == Shorter) {
            EXPECT_EQ(buffer[GAMEDEF_NO_WAIT], 0) << "what the shorter record lacks is cleared, not left over";
        }
        if (c.store == Good) {
            EXPECT_EQ(buffer[GAMEDEF_NO_WAIT], 1);
        }
    }
}

// An empty stored record is one of another length with no bytes at all: the whole buffer is
// cleared (nothing is copied from the empty value) and the cleared record is bound.
TEST_F(GameDef, AnEmptyStoredRecordClearsTheWholeBuffer) {
    kt::SetBinary("TEMP", "GAMEDEF", {});
    std::vector<uint8_t> buffer(GAMEDEF_GAME_SIZE, 0xEE);
    EXPECT_EQ(KrLoadGameDef(reinterpret_cast<GAMEDEF*>(buffer.data()), int16_t(buffer.size())), KR_GAMEDEF_INCOMPATIBLE);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0), ptrdiff_t(buffer.size()));
}

TEST_F(GameDef, MissingKeyGivesUnavailable) {
    HKEY service = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Brellwick\\Torvane", 0, KEY_ALL_ACCESS, &service),
              ERROR_SUCCESS);
    std::vector<uint8_t> count(4);
    uint32_t countSize = 4;
    ASSERT_EQ(KrLoadBinaryObject("KrTraceCount", count.data(), &countSize), 0);
    kt::DeleteValue("TEMP", "KrTraceCount");
    ASSERT_EQ(RegDeleteKeyA(service, "TEMP"), ERROR_SUCCESS);
    RegCloseKey(service);

    std::vector<uint8_t> buffer(GAMEDEF_GAME_SIZE);
    uint32_t size = GAMEDEF_GAME_SIZE;
    EXPECT_EQ(KrLoadBinaryObject("GAMEDEF", buffer.data(), &size), KR_REG_NO_KEY);
    EXPECT_EQ(KrLoadGameDef(reinterpret_cast<GAMEDEF*>(buffer.data()), int16_t(buffer.size())), KR_GAMEDEF_UNAVAILABLE);
    EXPECT_EQ(KrGetLastError(), KR_GAMEDEF_UNAVAILABLE);
    kt::SetBinary("TEMP", "KrTraceCount", count);
}

TEST_F(GameDef, TcpGicsIsReliableAndAJoinedSlotIsNeverRePrepared) {
    kt::SetBinary("TEMP", "GAMEDEF", GameDefBytes(2, KRTL_TCP));
    std::vector<uint8_t> buffer(GAMEDEF_GAME_SIZE);
    ASSERT_EQ(KrLoadGameDef(reinterpret_cast<GAMEDEF*>(buffer.data()), int16_t(buffer.size())), 0);
    EXPECT_EQ(GetGamePtr(2)->unreliable, 0);

    KRGAME_CB* slot = GetGamePtr(2);
    slot->state = KRGAME_JOINED;
    slot->joinWord = 99;
    slot->ownAddr = 7;
    EXPECT_EQ(KrLoadGameDef(reinterpret_cast<GAMEDEF*>(buffer.data()), int16_t(buffer.size())), 0);
    EXPECT_EQ(slot->state, KRGAME_JOINED);
    EXPECT_EQ(slot->joinWord, 99u);
    EXPECT_EQ(KrGetKrAddr(2), 7u);
    for (HGAME bad : {HGAME(-1), HGAME(16), HGAME(300)}) {
        EXPECT_EQ(KrGetKrAddr(bad), 0u) << bad;
        EXPECT_EQ(GetGamePtr(bad), nullptr) << bad;
    }
    slot->ownAddr = 0;
}

TEST_F(GameDef, LoadingAppliesAndSavingStampsTheTraceWord) {
    std::vector<uint8_t> record = GameDefBytes();
    record[GAMEDEF_TRACE] = 0x03; // levels only: no trace file, no boxes
    kt::SetBinary("TEMP", "GAMEDEF", record);
    std::vector<uint8_t> buffer(GAMEDEF_GAME_SIZE);
    ASSERT_EQ(KrLoadGameDef(reinterpret_cast<GAMEDEF*>(buffer.data()), int16_t(buffer.size())), 0);
    EXPECT_EQ(KrGetTrace(), 3u);

    KrSetTrace(0x02);
    buffer[GAMEDEF_TRACE] = 0x7F;
    ASSERT_EQ(KrSaveGameDef(reinterpret_cast<GAMEDEF*>(buffer.data()), int16_t(buffer.size())), 0);
    EXPECT_EQ(buffer[GAMEDEF_TRACE], 0x02) << "the caller's record is stamped";
    std::vector<uint8_t> stored(GAMEDEF_GAME_SIZE);
    uint32_t size = GAMEDEF_GAME_SIZE;
    ASSERT_EQ(KrLoadBinaryObject("GAMEDEF", stored.data(), &size), 0);
    EXPECT_EQ(stored, buffer);
}

TEST(BinaryObject, ResultsByStoredForm) {
    kt::SetBinary("TEMP", "Obj", {1, 2, 3, 4});
    kt::SetNumber("TEMP", "Num", 4);
    struct Case {
        const char* name;
        uint32_t size;
        int result;
        uint32_t sizeOut;
    } cases[] = {
        {"Obj", 4, 0, 4},
        {"Obj", 8, KR_REG_WRONG_LENGTH, 4},
        {"Num", 4, KR_REG_NOT_BINARY, 4},
        {"None", 4, KR_REG_UNREADABLE, 4},
    };
    for (const Case& c : cases) {
        uint8_t buffer[8] = {};
        uint32_t size = c.size;
        EXPECT_EQ(KrLoadBinaryObject(c.name, buffer, &size), c.result) << c.name << " " << c.size;
        EXPECT_EQ(size, c.sizeOut) << c.name;
    }
    const uint8_t data[] = {9, 8, 7};
    EXPECT_EQ(KrSaveBinaryObject("Saved", data, sizeof data), 0);
    uint8_t back[3] = {};
    uint32_t size = 3;
    EXPECT_EQ(KrLoadBinaryObject("Saved", back, &size), 0);
    EXPECT_EQ(std::memcmp(back, data, 3), 0);
    kt::DeleteValue("TEMP", "Obj");
    kt::DeleteValue("TEMP", "Num");
    kt::DeleteValue("TEMP", "Saved");
}

TEST(PlayerAddress, RecordsFromDottedTextAndUnresolvableHosts) {
    KRQSOCKADDR record;
    ASSERT_EQ(MakeKrAddress(&record, "192.168.7.9", 4100, 0x01020304), 0);
    uint8_t bytes[sizeof record];
    std::memcpy(bytes, &record, sizeof record);
    const uint8_t expected[] = {5, 0, 0, 0, 0x01, 0x02, 0x03, 0x04, 2, 0, 0x10, 0x04, 192, 168, 7, 9};
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof expected), 0);

    sockaddr_in address;
    EXPECT_EQ(MakeIPAddress(&address, "no-such-host.invalid", 1), -1);
    EXPECT_EQ(MakeIPAddress(&address, nullptr, 1), -1);
}

TEST(FakeGames, FindPreparesTheNamedSlotAndJoinSetsSlotZero) {
    setenv("PLATFORM_HOST_ADDRESS", "127.0.0.1", 1);
    std::vector<uint8_t> record = GameDefBytes(9);
    KRGAME_CB* slot = GetGamePtr(9);
    slot->state = KRGAME_FREE;
    slot->unreliable = 1;
    FakeFindGame(record.data());
    EXPECT_EQ(slot->state, KRGAME_PREPARED);
    EXPECT_EQ(slot->unreliable, 0);
    EXPECT_EQ(slot->joinWord, 0x11223344u);
    slot->state = KRGAME_FREE;
    FakeFindGame(GameDefBytes(40).data()); // nothing happens

    EXPECT_EQ(FakeJoinGame("1.1.1.1", 1, 11, "10.0.0.2", 5000, 42), 0);
    EXPECT_EQ(KrGetKrAddr(0), 42u);
    EXPECT_EQ(ntohl(GetGamePtr(0)->ownAddress.kraddr), 42u);
    EXPECT_EQ(ntohs(GetGamePtr(0)->ownAddress.in.sin_port), 5000);
    GetGamePtr(0)->ownAddr = 0;
}

}  // namespace
