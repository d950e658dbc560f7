// Packet headers: the choice of the smallest form, packing and unpacking of the seven forms,
// their sizes, and the Internet checksum over a list of pieces.
#include "krhdr.h"

#include "krbytes.h"
#include "krerrno.h"
#include "krlog.h"

namespace {

constexpr char kKrModule[] = "krhdr";

struct FormSizes {
    int total, plainText, cipherText;
};
constexpr FormSizes kSizes[] = {
    {4, 3, 1},  // A
    {5, 4, 1},  // B
    {8, 6, 2},  // C
    {6, 6, 0},  // D
    {10, 8, 2}, // E
    {8, 8, 0},  // F
    {12, 10, 2} // G
};

uint32_t Half(const uint8_t* at) { return (uint32_t)at[0] << 8 | at[1]; }
void PutHalf(uint8_t* at, uint32_t value) {
    at[0] = (uint8_t)(value >> 8);
    at[1] = (uint8_t)value;
}

uint32_t PadFor(uint32_t blockSize, uint32_t length, uint32_t extra) {
    if (blockSize < 2) return 0;
    // A length that already fills whole blocks gets a full block of pad.
    return blockSize - (uint32_t)(((uint64_t)length + extra) % blockSize);
}

KRHDR_FORM ChooseRequestForm(const KRHDR* h, uint32_t blockSize, uint32_t* pad) {
    *pad = 0;
    const bool plain = blockSize < 2;
    if (h->id <= 3 && h->length >= 16 && h->length <= 31 && h->code < 256 && plain) return KRHDR_A;
    if (h->id <= 15 && h->length < 512 && h->code < 256 && plain) return KRHDR_B;
    if (h->id > KRHDR_MAX_REQUEST_ID || h->code >= 65536) return KRHDR_INVALID;
    *pad = PadFor(blockSize, h->length, 4); // the code and the trailer count too
    if (*pad <= 3 && h->length <= 32767) return KRHDR_C;
    if (*pad <= 255 && h->length <= 32767) return KRHDR_E;
    if (*pad <= 255 && h->length < (1u << 24)) return KRHDR_G;
    return KRHDR_INVALID;
}

KRHDR_FORM ChooseControlForm(const KRHDR* h, uint32_t blockSize, uint32_t* pad) {
    *pad = 0;
    if (h->id > KRHDR_MAX_CONTROL_ID || h->length > 32767) return KRHDR_INVALID;
    *pad = PadFor(blockSize, h->length, 2); // the trailer counts too
    if (*pad <= 3) return KRHDR_D;
    // Form F's pad field has 4 bits: a larger pad would run into the prefix.
    if (*pad <= 15) return KRHDR_F;
    return KRHDR_INVALID;
}

int InvalidLength(const char* text) {
    KrErrorSet(KRERR_BAD_DATA);
    KR_LOG(KrWarning, "%s", text);
    return -1;
}

}  // namespace

KRHDR_FORM KrHdrForm(uint8_t firstByte) {
    int ones = 0;
    while (ones < 8 && (firstByte & (0x80 >> ones))) ++ones;
    return ones >= 7 ? KRHDR_INVALID : (KRHDR_FORM)ones;
}

uint32_t KrHdrPack(const KRHDR* h, uint8_t* buffer, uint32_t blockSize, uint32_t* padOut) {
    uint32_t pad = 0;
    KRHDR_FORM form = KRHDR_INVALID;
    if (h->sequence <= 0xFFFF && h->flag <= 1) {
        if (h->kind == KRHDR_KIND_REQUEST) form = ChooseRequestForm(h, blockSize, &pad);
        else if (h->kind == KRHDR_KIND_CONTROL) form = ChooseControlForm(h, blockSize, &pad);
    }
    switch (form) {
    case KRHDR_A:
        KrPutBe32(buffer, h->id << 29 | h->sequence << 13 | (h->length - 16) << 9 | h->flag << 8 | h->code);
        break;
    case KRHDR_B:
        KrPutBe32(buffer, 2u << 30 | h->id << 26 | h->sequence << 10 | h->length << 1 | h->flag);
        buffer[4] = (uint8_t)h->code;
        break;
    case KRHDR_C:
        KrPutBe32(buffer, 6u << 29 | h->id << 18 | pad << 16 | h->sequence);
        PutHalf(buffer + 4, h->length << 1 | h->flag);
        PutHalf(buffer + 6, h->code);
        break;
    case KRHDR_D:
        KrPutBe32(buffer, 0xEu << 28 | h->id << 17 | pad << 15 | h->length);
        PutHalf(buffer + 4, h->sequence);
        break;
    case KRHDR_E:
        KrPutBe32(buffer, 0x1Eu << 27 | h->id << 16 | h->sequence);
        KrPutBe32(buffer + 4, h->length << 17 | h->flag << 16 | pad << 8);
        PutHalf(buffer + 8, h->code);
        break;
    case KRHDR_F:
        KrPutBe32(buffer, 0x3Eu << 26 | pad << 22 | h->id << 11);
        KrPutBe32(buffer + 4, h->length << 17 | h->sequence);
        break;
    case KRHDR_G:
        KrPutBe32(buffer, 0x7Eu << 25 | h->id << 12 | pad << 3 | h->flag << 2);
        KrPutBe32(buffer + 4, h->length << 8);
        KrPutBe32(buffer + 8, h->sequence << 16 | h->code);
        break;
    case KRHDR_INVALID:
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrErr, "KrHdrPack: Invalid header values.");
        return 0;
    }
    if (padOut) *padOut = pad;
    return (uint32_t)kSizes[form].total;
}

int KrHdrUnpack(const uint8_t* b, KRHDR* h, int withCode) {
    const KRHDR_FORM form = KrHdrForm(b[0]);
    if (form == KRHDR_INVALID) {
        KrErrorSet(KRERR_PARAM);
        KR_LOG(KrWarning, "KrHdrUnpack: Unsupported Header Type.");
        return 1;
    }
    // Form A's plain-text part is only its first 3 bytes (the fourth is the code): without the
    // code the first word is read from those 3 bytes, never from past them.
    const uint32_t w = form == KRHDR_A && !withCode ? (uint32_t)b[0] << 24 | (uint32_t)b[1] << 16 | (uint32_t)b[2] << 8
                                                   : KrGetBe32(b);
    h->pad = 0;
    h->flag = 0;
    h->code = 0;
    switch (form) {
    case KRHDR_A:
        h->kind = KRHDR_KIND_REQUEST;
        h->id = w >> 29 & 0x3;
        h->sequence = w >> 13 & 0xFFFF;
        h->length = (w >> 9 & 0xF) + 16;
        h->flag = w >> 8 & 1;
        if (withCode) h->code = b[3];
        break;
    case KRHDR_B:
        h->kind = KRHDR_KIND_REQUEST;
        h->id = w >> 26 & 0xF;
        h->sequence = w >> 10 & 0xFFFF;
        h->length = w >> 1 & 0x1FF;
        h->flag = w & 1;
        if (withCode) h->code = b[4];
        break;
    case KRHDR_C:
        h->kind = KRHDR_KIND_REQUEST;
        h->id = w >> 18 & 0x7FF;
        h->pad = w >> 16 & 0x3;
        h->sequence = w & 0xFFFF;
        h->length = Half(b + 4) >> 1;
        h->flag = Half(b + 4) & 1;
        if (withCode) h->code = Half(b + 6);
        break;
    case KRHDR_D:
        h->kind = KRHDR_KIND_CONTROL;
        h->id = w >> 17 & 0x7FF;
        h->pad = w >> 15 & 0x3;
        h->length = w & 0x7FFF;
        h->sequence = withCode ? Half(b + 4) : 0;
        break;
    case KRHDR_E:
        h->kind = KRHDR_KIND_REQUEST;
        h->id = w >> 16 & 0x7FF;
        h->sequence = w & 0xFFFF;
        h->length = KrGetBe32(b + 4) >> 17;
        h->flag = KrGetBe32(b + 4) >> 16 & 1;
        h->pad = KrGetBe32(b + 4) >> 8 & 0xFF;
        if (withCode) h->code = Half(b + 8);
        break;
    case KRHDR_F:
        h->kind = KRHDR_KIND_CONTROL;
        h->pad = w >> 22 & 0xF;
        h->id = w >> 11 & 0x7FF;
        h->length = KrGetBe32(b + 4) >> 17;
        h->sequence = withCode ? (KrGetBe32(b + 4) & 0xFFFF) : 0;
        break;
    case KRHDR_G:
        h->kind = KRHDR_KIND_REQUEST;
        h->id = w >> 12 & 0x7FF;
        h->pad = w >> 3 & 0xFF;
        h->flag = w >> 2 & 1;
        h->length = KrGetBe32(b + 4) >> 8;
        h->sequence = Half(b + 8);
        if (withCode) h->code = Half(b + 10);
        break;
    case KRHDR_INVALID:
        break;
    }
    return 0;
}

int KrHdrUnpackPT(const uint8_t* plainText, KRHDR* header) { return KrHdrUnpack(plainText, header, 0); }

int KrHdrUnpackPTCT(const uint8_t* plainText, const uint8_t* cipherText, KRHDR* header) {
    const KRHDR_FORM form = KrHdrForm(plainText[0]);
    if (form == KRHDR_INVALID) return KrHdrUnpack(plainText, header, 1);
    uint8_t joined[KRHDR_MAX_LEN];
    const FormSizes& sizes = kSizes[form];
    for (int i = 0; i < sizes.plainText; ++i) joined[i] = plainText[i];
    for (int i = 0; i < sizes.cipherText; ++i) joined[sizes.plainText + i] = cipherText[i];
    return KrHdrUnpack(joined, header, 1);
}

int KrHdrPackedLen(uint8_t firstByte) {
    const KRHDR_FORM form = KrHdrForm(firstByte);
    return form == KRHDR_INVALID ? InvalidLength("KrHdrPackedLen: Invalid header type.") : kSizes[form].total;
}

int KrPTHdrPackedLen(uint8_t firstByte) {
    const KRHDR_FORM form = KrHdrForm(firstByte);
    return form == KRHDR_INVALID ? InvalidLength("KrPTHdrPackedLen: Invalid header type.") : kSizes[form].plainText;
}

int KrCTHdrPackedLen(uint8_t firstByte) {
    const KRHDR_FORM form = KrHdrForm(firstByte);
    return form == KRHDR_INVALID ? InvalidLength("KrCTHdrPackedLen: Invalid header type.")
                                 : kSizes[form].cipherText;
}

int KrHdrPadLen(const uint8_t* b) {
    switch (KrHdrForm(b[0])) {
    case KRHDR_A:
    case KRHDR_B:
        return 0;
    case KRHDR_C:
        return (int)(KrGetBe32(b) >> 16 & 0x3);
    case KRHDR_D:
        return (int)(KrGetBe32(b) >> 15 & 0x3);
    case KRHDR_E:
        return (int)(KrGetBe32(b + 4) >> 8 & 0xFF);
    case KRHDR_F:
        return (int)(KrGetBe32(b) >> 22 & 0xF);
    case KRHDR_G:
        return (int)(KrGetBe32(b) >> 3 & 0xFF);
    case KRHDR_INVALID:
        break;
    }
    return InvalidLength("KrHdrPadLen: Invalid header type.");
}

uint16_t KrInCksumV(const KRPIECE* pieces, int count) {
    // Bytes are summed by their place in the whole run, whatever the pieces' lengths and
    // addresses: an even place is the high byte of its word.
    uint64_t sum = 0;
    bool odd = false;
    for (int i = 0; i < count; ++i) {
        const uint8_t* at = static_cast<const uint8_t*>(pieces[i].data);
        for (uint32_t n = pieces[i].length; n; --n, ++at) {
            sum += odd ? *at : (uint32_t)*at << 8;
            odd = !odd;
        }
    }
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return (uint16_t)~sum;
}

uint16_t KrInCksum(const void* data, uint32_t length) {
    const KRPIECE piece = {data, length};
    return KrInCksumV(&piece, 1);
}
