// The game definition GAMEDEF: loaded from the TEMP key and bound to its game slot (the GICS
// address, the transport, the join word, this machine's address record), and saved with the
// current trace word stamped into it.
#include <cstring>
#include <vector>

#include "krcgame.h"
#include "krlog.h"
#include "krreg.h"
#include "lobbex_exports.h"

namespace {
constexpr char kKrModule[] = "krgamedef";

uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// The GICS transport address at offset 20: the families little-endian, ports and addresses as
// stored (network order).
KRTLADDR ReadTlAddr(const uint8_t* p) {
    KRTLADDR a;
    a.family = Le16(p);
    std::memcpy(&a.port, p + 2, 2);
    std::memcpy(&a.addr, p + 4, 4);
    a.inner.family = Le16(p + 8);
    std::memcpy(&a.inner.port, p + 10, 2);
    std::memcpy(&a.inner.addr, p + 12, 4);
    return a;
}

// A GAMEDEF stored with another length than the caller's: its first bytes (as many as both
// hold) are read into the buffer and the rest of the buffer is cleared, so that what is bound
// never depends on what the buffer held before.
// A value of another type (a number) is reported as such: -52; one that cannot be read -51.
int ReadDifferentLength(uint8_t* buffer, uint32_t size, uint32_t stored) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Brellwick\\Torvane\\TEMP", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return KR_REG_UNREADABLE;
    std::vector<uint8_t> bytes(stored);
    DWORD length = stored, type = 0;
    LONG rc = RegQueryValueExA(key, "GAMEDEF", nullptr, &type, bytes.data(), &length);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return KR_REG_UNREADABLE;
    if (type != REG_BINARY) return KR_REG_NOT_BINARY;
    const uint32_t n = length < size ? length : size;
    if (n > 0) std::memcpy(buffer, bytes.data(), n);
    std::memset(buffer + n, 0, size - n);
    return KR_REG_WRONG_LENGTH;
}
}  // namespace

int PrepareGameDef(const GAMEDEF* record, uint32_t size) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(record);
    if (!bytes || size < 2) return -1;
    KRGAME_CB* slot = GetGamePtr(HGAME(Le16(bytes + GAMEDEF_HGAME)));
    if (!slot) return -1;
    if (slot->state == KRGAME_JOINED) return 0;
    slot->state = KRGAME_PREPARED;
    KRTLADDR gics = {};
    if (size >= GAMEDEF_GICS + sizeof(KRTLADDR)) gics = ReadTlAddr(bytes + GAMEDEF_GICS);
    int dataType = 0;
    std::memset(&slot->gicsAddress, 0, sizeof slot->gicsAddress);
    KRSOCKADDR_STORAGE any = {};
    if (KrTlToSockAddr(&gics, reinterpret_cast<sockaddr*>(&any), &dataType) == 0) {
        if (any.family == KR_AF_KRADDR)
            slot->gicsAddress = any.in;
        else
            std::memcpy(&slot->gicsAddress, &any, sizeof slot->gicsAddress);
    }
    slot->unreliable = dataType == KR_IO_STREAM ? 0 : 1;
    slot->joinWord = size >= GAMEDEF_JOIN_WORD + 4 ? Le32(bytes + GAMEDEF_JOIN_WORD) : 0;
    MakeKrAddress(&slot->ownAddress, KrGetMyIPText(), 0, 0);
    return 0;
}

LOBBEX_API int KrLoadGameDef(GAMEDEF* buffer, int16_t size) {
    KrLogAPICall("KrLoadGameDef");
    if (!buffer || size <= 0) {
        KR_LOG(KrErr, "KrLoadGameDef failed.");
        return int(KrLogReturnVal("KrLoadGameDef", KR_GAMEDEF_UNAVAILABLE));
    }
    uint8_t* bytes = reinterpret_cast<uint8_t*>(buffer);
    uint32_t length = uint32_t(size);
    int loaded = KrLoadBinaryObject("GAMEDEF", bytes, &length);
    int result = 0;
    if (loaded == KR_REG_WRONG_LENGTH) loaded = ReadDifferentLength(bytes, uint32_t(size), length);
    if (loaded == KR_REG_WRONG_LENGTH) {
        KrWarn("KrLoadGameDef: Possibly outdated version of Pandex in use.  Found GAMEDEF but had difficulty reading "
               "it.");
        result = KR_GAMEDEF_INCOMPATIBLE;
    }
    if (loaded == KR_REG_OK || loaded == KR_REG_WRONG_LENGTH) {
        if (PrepareGameDef(buffer, uint32_t(size)) == 0) {
            if (size >= int(GAMEDEF_TRACE + 4)) KrSetTrace(Le32(bytes + GAMEDEF_TRACE));
            return int(KrLogReturnVal("KrLoadGameDef", result));
        }
    } else if (loaded == KR_REG_NOT_BINARY) {
        KrWarn("KrLoadGameDef: Registry had wrong type of in GAMEDEF.");
        return int(KrLogReturnVal("KrLoadGameDef", KR_GAMEDEF_INCOMPATIBLE));
    }
    KR_LOG(KrErr, "KrLoadGameDef failed.");
    return int(KrLogReturnVal("KrLoadGameDef", KR_GAMEDEF_UNAVAILABLE));
}

LOBBEX_API int KrSaveGameDef(GAMEDEF* record, int16_t size) {
    KrLogAPICall("KrSaveGameDef");
    if (!record || size < 0) return int(KrLogReturnVal("KrSaveGameDef", -1));
    uint8_t* bytes = reinterpret_cast<uint8_t*>(record);
    if (size >= int(GAMEDEF_TRACE + 4)) PutLe32(bytes + GAMEDEF_TRACE, KrGetTrace());
    int result = KrSaveBinaryObject("GAMEDEF", record, uint32_t(size));
    if (result != 0) KR_LOG(KrErr, "KrSaveGameDef failed");
    return int(KrLogReturnVal("KrSaveGameDef", result));
}
