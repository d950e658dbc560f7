// Message building and the receive checks of requests, responses and control messages (see
// krrq_req.h). Each message is one buffer from the message heap: the plain-text header part,
// then the encrypted region gathered by the crypt handle.
#include <cstring>

#include "krerrno.h"
#include "krlog.h"
#include "krrq_req.h"

namespace {

constexpr char kKrModule[] = "krrq_req";
const uint8_t kZeros[KRREQ_MAX_BUILD_PAD] = {};

int BuildFailed(uint8_t** message, uint32_t* length, uint32_t error) {
    if (error) KrErrorSet(error);
    if (message) *message = nullptr;
    if (length) *length = 0;
    return 1;
}

int BadData() {
    KrErrorSet(KRERR_BAD_DATA);
    return 1;
}

}  // namespace

int KrReqCTMsgAlloc(KRCRYPT_HNDL* crypt, uint32_t sequence, const KRHDR* header, const uint8_t* payload,
                    uint8_t** message, uint32_t* length) {
    if (!crypt || !header || !message || !length || header->kind != KRHDR_KIND_REQUEST ||
        (header->length && !payload))
        return BuildFailed(message, length, KRERR_PARAM);
    KRHDR h = *header;
    h.sequence = sequence & 0xFFFF;
    uint8_t packed[KRHDR_MAX_LEN];
    uint32_t pad = 0;
    const uint32_t size = KrHdrPack(&h, packed, crypt_block_size(crypt), &pad);
    if (!size) return BuildFailed(message, length, 0);
    if (pad > KRREQ_MAX_BUILD_PAD) {
        KR_LOG(KrErr, "KrReqCTMsgAlloc: Pad %d exceeds size allocated for pad buffer.", (int)pad);
        return BuildFailed(message, length, KRERR_BAD_DATA);
    }
    const uint32_t total = size + h.length + pad + 2;
    uint8_t* buffer = KrReqMsgAlloc(total);
    if (!buffer) {
        KR_LOG(KrErr, "KrReqCTMsgAlloc: Unable to allocate %d bytes for cipher-text message.", (int)total);
        return BuildFailed(message, length, 0);
    }
    const uint32_t plainText = (uint32_t)KrPTHdrPackedLen(packed[0]);
    memcpy(buffer, packed, plainText);
    const uint8_t trailer[2] = {(uint8_t)(h.sequence >> 8), (uint8_t)h.sequence};
    KRPIECE pieces[4];
    int count = 0;
    pieces[count++] = {packed + plainText, size - plainText}; // the code field
    if (h.length) pieces[count++] = {payload, h.length};
    if (pad) pieces[count++] = {kZeros, pad};
    pieces[count++] = {trailer, 2};
    if (!crypt_encrypt(crypt, sequence, pieces, count, buffer + plainText, total - plainText)) {
        KR_LOG(KrErr, "KrReqCTMsgAlloc: Unable to encrypt message.");
        KrReqMsgFree(buffer);
        return BuildFailed(message, length, KRERR_BAD_DATA);
    }
    *message = buffer;
    *length = total;
    return 0;
}

int KrReqCTCntlMsgAlloc(KRCRYPT_HNDL* crypt, uint32_t position, const KRHDR* header, const uint8_t* payload,
                        uint8_t** message, uint32_t* length) {
    if (!crypt || !header || !message || !length || header->kind != KRHDR_KIND_CONTROL ||
        (header->length && !payload))
        return BuildFailed(message, length, KRERR_PARAM);
    uint8_t packed[KRHDR_MAX_LEN];
    uint32_t pad = 0;
    const uint32_t size = KrHdrPack(header, packed, crypt_block_size(crypt), &pad);
    if (!size) return BuildFailed(message, length, 0);
    if (pad > KRREQ_MAX_BUILD_PAD) {
        KR_LOG(KrErr, "KrReqCTCntlMsgAlloc: Pad %d exceeds size allocated for pad buffer.", (int)pad);
        return BuildFailed(message, length, KRERR_BAD_DATA);
    }
    const uint32_t total = size + header->length + pad + 2;
    uint8_t* buffer = KrReqMsgAlloc(total);
    if (!buffer) {
        KR_LOG(KrErr, "KrReqCTCntlMsgAlloc: Unable to allocate %d bytes for cipher-text message.", (int)total);
        return BuildFailed(message, length, 0);
    }
    memcpy(buffer, packed, size);
    // The trailer makes the checksum of the whole message 0. Summed as big-endian words, the
    // checksum of the rest goes in as it is when the trailer starts at an even offset, and with
    // its bytes swapped at an odd one; so both ends agree whatever their byte order.
    const KRPIECE summed[3] = {{packed, size}, {payload, header->length}, {kZeros, pad}};
    const uint16_t checksum = KrInCksumV(summed, 3);
    const bool oddOffset = ((size + header->length + pad) & 1) != 0;
    const uint8_t high = (uint8_t)(checksum >> 8), low = (uint8_t)checksum;
    const uint8_t trailer[2] = {oddOffset ? low : high, oddOffset ? high : low};
    KRPIECE pieces[3];
    int count = 0;
    if (header->length) pieces[count++] = {payload, header->length};
    if (pad) pieces[count++] = {kZeros, pad};
    pieces[count++] = {trailer, 2};
    if (!crypt_encrypt(crypt, position, pieces, count, buffer + size, total - size)) {
        KR_LOG(KrErr, "KrReqCTCntlMsgAlloc: Unable to encrypt message.");
        KrReqMsgFree(buffer);
        return BuildFailed(message, length, KRERR_BAD_DATA);
    }
    *message = buffer;
    *length = total;
    return 0;
}

int KrReqCTMsgDecrypt(KRCRYPT_HNDL* crypt, const uint8_t* plainText, const uint8_t* body, uint32_t bodyLength,
                      KRHDR* header, uint8_t* out, uint32_t outSize) {
    if (!crypt || !plainText || !header || !out || (bodyLength && !body)) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    KRHDR h;
    if (KrHdrUnpackPT(plainText, &h) != 0 || h.kind != KRHDR_KIND_REQUEST) return BadData();
    const uint64_t expected = (uint64_t)KrCTHdrPackedLen(plainText[0]) + h.length + h.pad + 2;
    if (bodyLength != expected) return BadData();
    if (outSize < bodyLength) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    const KRPIECE piece = {body, bodyLength};
    if (crypt_decrypt(crypt, h.sequence, &piece, 1, out, outSize) != bodyLength) return BadData();
    const uint32_t trailer = (uint32_t)out[bodyLength - 2] << 8 | out[bodyLength - 1];
    if (trailer != h.sequence) return BadData();
    return KrHdrUnpackPTCT(plainText, out, header) != 0 ? BadData() : 0;
}

int KrReqCTCntlMsgDecrypt(KRCRYPT_HNDL* crypt, uint32_t position, const uint8_t* headerBytes, uint8_t* body,
                          uint32_t bodyLength, KRHDR* header) {
    if (!crypt || !headerBytes || !header || (bodyLength && !body)) {
        KrErrorSet(KRERR_PARAM);
        return 1;
    }
    KRHDR h;
    if (KrHdrUnpack(headerBytes, &h, 1) != 0 || h.kind != KRHDR_KIND_CONTROL) return BadData();
    if (bodyLength != (uint64_t)h.length + h.pad + 2) return BadData();
    const KRPIECE piece = {body, bodyLength};
    if (crypt_decrypt(crypt, position, &piece, 1, body, bodyLength) != bodyLength) return BadData();
    const KRPIECE whole[2] = {{headerBytes, (uint32_t)KrHdrPackedLen(headerBytes[0])}, {body, bodyLength}};
    if (KrInCksumV(whole, 2) != 0) return BadData();
    *header = h;
    return 0;
}
