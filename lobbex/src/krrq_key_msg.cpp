// The change-key control messages (see krrq_key.h): code 7 announces a new data key, code 8
// acknowledges it. Payload: the nonce and the first sequence number under the new key (both
// big-endian), then the key union in XDR (an ack sends the union of the same type with every key
// byte zero). Both travel under the session's control key and carry the control-message checksum,
// which makes the ones'-complement sum of the whole message zero.
#include <rpc/xdr.h>

#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "krbytes.h"
#include "krerrno.h"
#include "krlog.h"
#include "krrq_key.h"
#include "krrq_req.h"
#include "krrq_sess.h"
#include "krxdr.h"

namespace {

constexpr char kKrModule[] = "krrq_crypt";

int BuildFailed(uint8_t** message, uint32_t* length) {
    if (message) *message = nullptr;
    if (length) *length = 0;
    return 1;
}

}  // namespace

uint32_t KrReqKeyUnionLen(uint32_t keyType) {
    switch (keyType) {
    case KRCRYPT_KEY_NONE:
        return 4;
    case KRCRYPT_KEY_IDEA:
        return 36;
    case KRCRYPT_KEY_PAD:
        return 12;
    default:
        return 0;
    }
}

int KrReqCTChkeyMsgAlloc(uintptr_t tag, KRCRYPT_HNDL* control, uint32_t headerId, uint32_t nonce,
                         const KRCRYPT_KEY* key, const uint8_t pair[8], uint8_t** message, uint32_t* length,
                         int ack) {
    const unsigned t = (unsigned)tag;
    if (!control || !key || !pair || !message || !length) {
        KrErrorSet(KRERR_PARAM);
        return BuildFailed(message, length);
    }
    KRCRYPT_KEY sent = *key;
    if (ack) std::memset(sent.key, 0, sizeof sent.key); // the key itself is not sent back
    XDR xdrs;
    if (!xdrdmem_create(&xdrs, nullptr, 0, XDR_ENCODE)) {
        KrErrorSet(KRERR_NO_MEMORY);
        KR_LOG(KrErr, "KrReqCTChkeyMsgAlloc[0x%x]: Can't allocate %d bytes for change-key paramters block.", t, 0);
        return BuildFailed(message, length);
    }
    if (!xdr_KRCRYPT_KEY(&xdrs, &sent) || XDR_GETPOS(&xdrs) == 0) {
        XDR_DESTROY(&xdrs);
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrReqCTChkeyMsgAlloc[0x%x]: Failed to encode korrin-crypt key XDR message.", t);
        return BuildFailed(message, length);
    }
    const uint32_t keyLength = XDR_GETPOS(&xdrs);
    char* encoded = nullptr;
    unsigned capacity = 0;
    xdrdmem_takebuf(&xdrs, &encoded, &capacity);
    XDR_DESTROY(&xdrs);
    const uint32_t payloadLength = 8 + keyLength;
    uint8_t* payload = static_cast<uint8_t*>(std::malloc(payloadLength));
    if (!payload || !encoded) {
        std::free(payload);
        std::free(encoded);
        KrErrorSet(KRERR_NO_MEMORY);
        KR_LOG(KrErr, "KrReqCTChkeyMsgAlloc[0x%x]: Can't allocate %d bytes for change-key paramters block.", t,
               (int)payloadLength);
        return BuildFailed(message, length);
    }
    std::memcpy(payload, pair, 8);
    std::memcpy(payload + 8, encoded, keyLength);
    std::free(encoded);
    KRHDR header{};
    header.kind = KRHDR_KIND_CONTROL;
    header.id = headerId;
    header.length = payloadLength;
    header.sequence = ack ? KRSESS_CNTL_KEY_ACK : KRSESS_CNTL_KEY_SET;
    const int failed = KrReqCTCntlMsgAlloc(control, nonce, &header, payload, message, length);
    std::free(payload);
    if (failed) {
        KR_LOG(KrErr, "KrReqCTChkeyMsgAlloc[0x%x]: Unable to build transmit change-key control message; error %d.", t,
               (int)KrErrorGet());
        return BuildFailed(message, length);
    }
    return 0;
}

int KrReqChkeyRead(KRCRYPT_HNDL* control, uint32_t position, const KRHDR* header, const uint8_t* payload,
                   uint32_t length, KRREQ_CHKEY* out) {
    if (!control || !header || !out || (length && !payload)) return KRREQ_CHKEY_BOGUS;
    if (length < 8 || header->length != length) return KRREQ_CHKEY_SHORT;
    // The header as the sender packed it under the same control key: the pad it chose must be the
    // one the received header carries.
    uint8_t packed[KRHDR_MAX_LEN];
    uint32_t pad = 0;
    KRHDR h = *header;
    const uint32_t headerLength = KrHdrPack(&h, packed, crypt_block_size(control), &pad);
    if (!headerLength || pad != header->pad) return KRREQ_CHKEY_BOGUS;
    // The mux has checked that the pad and the trailer follow the payload in its buffer.
    std::vector<uint8_t> body(payload, payload + length + pad + 2);
    KRHDR checked{};
    if (KrReqCTCntlMsgDecrypt(control, position, packed, body.data(), (uint32_t)body.size(), &checked) != 0)
        return KRREQ_CHKEY_BOGUS;
    out->nonce = KrGetBe32(body.data());
    out->firstSeq = KrGetBe32(body.data() + 4);
    std::memset(&out->key, 0, sizeof out->key);
    XDR xdrs;
    xdrdmem_create(&xdrs, reinterpret_cast<char*>(body.data() + 8), length - 8, XDR_DECODE);
    const int decoded = xdr_KRCRYPT_KEY(&xdrs, &out->key);
    XDR_DESTROY(&xdrs);
    return decoded ? KRREQ_CHKEY_OK : KRREQ_CHKEY_UNDECODABLE;
}
