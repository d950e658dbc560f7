// Control messages as the mux reads them (see krmux_ctl.h).
#include "krmux_ctl.h"

#include "krbytes.h"
#include "krerrno.h"
#include "krlog.h"

namespace {

constexpr char kKrModule[] = "krmux";

void ReadWords(const uint8_t* payload, uint32_t length, KRMUX_CONNECT* out) {
    uint32_t* fields[] = {&out->version, &out->sessionWord, &out->sourceWord,
                          &out->destWord, &out->txInterval, &out->rxCount};
    for (uint32_t i = 0; i < 6; ++i) *fields[i] = (i + 1) * 4 <= length ? KrGetBe32(payload + i * 4) : 0;
}

}  // namespace

int KrMuxRxHeader(const KRMUX_RX* rx, KRHDR* header, uint32_t* payloadOffset, uintptr_t tag) {
    const int ct = KrCTHdrPackedLen(rx->header[0]);
    if (ct < 0 || rx->headerLen < KRHDR_MIN_PT_LEN || (ct > 0 && rx->bodyLen < (uint32_t)ct)) {
        KrErrorSet(KRERR_BAD_DATA);
        return 1;
    }
    const int failed = ct > 0 ? KrHdrUnpackPTCT(rx->header, rx->body, header) : KrHdrUnpack(rx->header, header, 1);
    if (failed) return 1;
    const uint64_t needed = (uint64_t)header->length + header->pad + (uint32_t)ct + 2;
    if (needed != rx->bodyLen) {
        KR_LOG(KrWarning, "KrMuxControlHndlr[0x%x]: Malformed control message: dlen 0x%x, ct_len 0x%x, plen 0x%x, len 0x%x",
               (unsigned)tag, header->length, (unsigned)ct, header->pad, rx->bodyLen);
        KrErrorSet(KRERR_BAD_DATA);
        return 1;
    }
    *payloadOffset = (uint32_t)ct;
    return 0;
}

int KrMuxConnectParse(const uint8_t* payload, uint32_t length, KRMUX_CONNECT* out, uintptr_t tag) {
    if (!payload || length < KR_CONNECT_LEN) {
        KR_LOG(KrWarning, "KrSessConnectHndlr[0x%x]: Invalid connect control message parameter size: %u",
               (unsigned)tag, length);
        KrErrorSet(KRERR_BAD_DATA);
        return 1;
    }
    ReadWords(payload, length, out);
    return 0;
}

int KrMuxConnectAckParse(const uint8_t* payload, uint32_t length, KRMUX_CONNECT* out, uintptr_t tag) {
    if (!payload || length < KR_CONNECT_ACK_MIN) {
        KR_LOG(KrWarning, "KrMuxConnectAckHndlr[0x%x]: Truncated Connect request.", (unsigned)tag);
        KrErrorSet(KRERR_BAD_DATA);
        return 1;
    }
    ReadWords(payload, length, out);
    return 0;
}
