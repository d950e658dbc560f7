// Voice chat: sending phrases (open, data, close) on a GULP or a request session, the process-wide
// play queue of received phrases keyed by (sender, phrase id), and playback that decodes the head
// phrase block by block. Queuing runs on the io thread, sending and playback on the caller's; one
// speech lock guards the queue, the coder state and the statistics, and no lock is held while a
// message goes out.
#include "krspeech.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "krcgame.h"
#include "krcodec.h"
#include "krgulp.h"
#include "krlog.h"
#include "krtime.h"

namespace {
constexpr char kKrModule[] = "krspeech";
constexpr uint32_t kAutoCloseMs = 4000;

struct KRCHUNK {
    KRCHUNK* next;
    uint16_t offset;
    uint16_t length;
    uint8_t data[1]; // `length` bytes, allocated with the chunk
};

struct KRPHRASE {
    KRPHRASE* next;
    KRCHUNK* head;
    KRCHUNK* tail;
    int32_t queued;
    uint8_t opener[KRSPEECH_OPENER];
    KRPHRASE_HDR hdr; // the opener's header
    uint16_t closed;
};

struct Stats {
    uint32_t compressedPackets, decompressedPackets, rawBytes, codedBytes;
};

KRPHRASE* g_Head = nullptr;
KRPHRASE* g_Tail = nullptr;
int g_Playing = 0;
uint32_t g_LastData = 0;
uint16_t g_OutFlags = 0;
Stats g_Stats{};
uint8_t g_EncFrame[2048];
uint32_t g_EncFill = 0;
uint8_t g_DecFrame[2048];
uint32_t g_DecAvail = 0;
uint32_t g_DecOffset = 0;

void Put16(uint8_t* p, uint16_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}
uint16_t Get16(const uint8_t* p) {
    return (uint16_t)(p[0] | p[1] << 8);
}

// ---- the play queue (speech lock held) ----

KRPHRASE* FindNL(KRADDR sender, uint16_t id) {
    for (KRPHRASE* p = g_Head; p; p = p->next)
        if (p->hdr.sender == sender && p->hdr.phraseId == id) return p;
    return nullptr;
}

KRPHRASE* AppendNL(const uint8_t* message, uint32_t length) {
    auto* p = static_cast<KRPHRASE*>(std::calloc(1, sizeof(KRPHRASE)));
    if (!p) {
        KrError("KrQueueSpeech::Could not allocate phrase head.");
        return nullptr;
    }
    std::memcpy(p->opener, message, std::min(length, KRSPEECH_OPENER));
    KrPhraseHdrUnpack(p->opener, KRSPEECH_OPENER, &p->hdr);
    if (g_Tail)
        g_Tail->next = p;
    else
        g_Head = p;
    g_Tail = p;
    return p;
}

void FreePhrase(KRPHRASE* p) {
    for (KRCHUNK* c = p->head; c;) {
        KRCHUNK* next = c->next;
        std::free(c);
        c = next;
    }
    std::free(p);
}

void UnlinkHeadNL() {
    KRPHRASE* p = g_Head;
    if (!p) return;
    g_Head = p->next;
    if (!g_Head) g_Tail = nullptr;
    FreePhrase(p);
}

void FreeQueueNL() {
    while (g_Head) UnlinkHeadNL();
}

KRCHUNK* PopChunkNL(KRPHRASE* p) {
    KRCHUNK* c = p->head;
    if (!c) return nullptr;
    p->head = c->next;
    if (!p->head) p->tail = nullptr;
    p->queued -= c->length - c->offset;
    return c;
}

// Copies up to `want` raw bytes from the phrase's chunks.
uint32_t ReadRawNL(KRPHRASE* p, uint8_t* out, uint32_t want) {
    uint32_t got = 0;
    while (got < want && p->head) {
        KRCHUNK* c = p->head;
        const uint32_t n = std::min<uint32_t>(want - got, (uint32_t)(c->length - c->offset));
        std::memcpy(out + got, c->data + c->offset, n);
        c->offset = (uint16_t)(c->offset + n);
        p->queued -= (int32_t)n;
        got += n;
        if (c->offset == c->length) {
            p->head = c->next;
            if (!p->head) p->tail = nullptr;
            std::free(c);
        }
    }
    return got;
}

// Nothing was delivered: a closed head phrase ends (-110), an open one waits (0).
int EndPhraseNL() {
    if (g_Head && !g_Head->closed) return 0;
    UnlinkHeadNL();
    g_Playing = 0;
    g_DecAvail = 0;
    g_DecOffset = 0;
    return KR_ERR_NOT_RECORDED;
}

uint32_t GiveDecodedNL(uint8_t* out, uint32_t room) {
    const uint32_t n = std::min(room, g_DecAvail);
    std::memcpy(out, g_DecFrame + g_DecOffset, n);
    g_DecOffset += n;
    g_DecAvail -= n;
    return n;
}

int PlayNL(uint8_t* buffer, uint32_t length, int32_t minimum) {
    if (g_Playing != 0 && g_Playing != 1) {
        g_Playing = 0;
        return KR_ERR_NOT_RECORDED;
    }
    if (g_Playing == 0) {
        if (!KrIsReadyToPlay(minimum)) return KR_ERR_NOT_RECORDED;
        g_Playing = 1;
        g_Stats = {};
        g_LastData = KrTickCount();
    }
    KRPHRASE* p = g_Head;
    if (!p) {
        g_Playing = 0;
        return KR_ERR_NOT_RECORDED;
    }
    const int style = p->hdr.style;
    if (SelectDecompressionStyle(style) != 0) {
        // No codec for it here: the phrase cannot be played, so it goes.
        KrWarn("KrSpeechInX::phrase %u of 0x%X has style %d, which is not started here; dropped.",
               (unsigned)p->hdr.phraseId, (unsigned)p->hdr.sender, style);
        p->closed = 1;
        while (KRCHUNK* c = PopChunkNL(p)) std::free(c);
        return EndPhraseNL();
    }
    const uint32_t raw = (uint32_t)KrCodecParameter(style, KRCODEC_RAW_FRAME);
    const uint32_t coded = (uint32_t)KrCodecParameter(style, KRCODEC_CODED_FRAME);
    uint32_t written = 0;
    if (style == 0 || style == 1) {
        written = ReadRawNL(p, buffer, length);
    } else if (style == 4) {
        while (written < length) {
            if (g_DecAvail) {
                written += GiveDecodedNL(buffer + written, length - written);
                continue;
            }
            KRCHUNK* c = PopChunkNL(p);
            if (!c) break;
            const uint32_t size = (uint32_t)(c->length - c->offset);
            if (size >= coded) {
                std::free(c);
                break;
            }
            int decoded = 0;
            KrDecompressFrame(g_DecFrame, c->data + c->offset, (int)size, &decoded);
            std::free(c);
            ++g_Stats.decompressedPackets;
            g_Stats.rawBytes += raw;
            g_Stats.codedBytes += size;
            g_DecOffset = 0;
            g_DecAvail = decoded > 0 ? std::min<uint32_t>(raw, sizeof g_DecFrame) : 0;
        }
    } else {
        uint8_t frame[512];
        while (written < length) {
            if (!g_DecAvail) {
                // Only a whole coded frame is taken; a partial one waits for the rest.
                if (p->queued < (int32_t)coded || coded > sizeof frame) break;
                ReadRawNL(p, frame, coded);
                int decoded = 0;
                KrDecompressFrame(g_DecFrame, frame, (int)coded, &decoded);
                ++g_Stats.decompressedPackets;
                g_Stats.rawBytes += raw;
                g_Stats.codedBytes += coded;
                g_DecOffset = 0;
                g_DecAvail = decoded > 0 ? std::min<uint32_t>(raw, sizeof g_DecFrame) : 0;
                if (!g_DecAvail) continue;
            }
            written += GiveDecodedNL(buffer + written, length - written);
        }
    }
    if (written == 0) {
        const int ended = EndPhraseNL();
        if (ended != 0) return ended;
        if (g_Head && KrTickCount() - g_LastData > kAutoCloseMs) {
            g_Head->closed = 1;
            KrWarn("KrSpeechInX::Auto-closing phrase after 4 seconds with no new data.");
        }
        return 0;
    }
    g_LastData = KrTickCount();
    return (int)written;
}

// ---- sending ----

// Where a phrase goes: a GULP (with its destination list) or a request session.
struct Target {
    HGULP gulp;
    const uint32_t* list;
    KRSESS_HNDL* session;
};

int SendOne(const Target& t, uint16_t type, uint8_t* message, uint32_t length) {
    if (t.session) return KrCReqNoResp(t.session, type, message, length);
    KRADDR own = 0;
    if (KRGULP_CB* g = GetGULPPtr(t.gulp)) {
        KrLockEnter(&g->lock);
        const int16_t game = g->game;
        KrLockLeave(&g->lock);
        own = KrGetKrAddr(game);
    }
    message[0] = (uint8_t)own;
    message[1] = (uint8_t)(own >> 8);
    message[2] = (uint8_t)(own >> 16);
    message[3] = (uint8_t)(own >> 24);
    return KrWriteGULP(t.gulp, message, length, type == KRSPEECH_CLOSE ? nullptr : t.list);
}

int OpenPhrase(const Target& t, uint16_t id, int style) {
    uint8_t message[KRSPEECH_OPENER] = {};
    {
        KrSpeechLockGuard hold;
        g_Stats = {};
        KrPhraseHdrPack({1, id, KRSPEECH_OPEN, g_OutFlags, (uint16_t)style, 4}, message);
        SelectCompressionStyle(style);
        g_EncFill = 0;
    }
    return SendOne(t, KRSPEECH_OPEN, message, sizeof message);
}

int ClosePhrase(const Target& t, uint16_t id) {
    uint8_t message[KRSPEECH_OPENER] = {};
    {
        KrSpeechLockGuard hold;
        KrPhraseHdrPack({1, id, KRSPEECH_CLOSE, g_OutFlags, 0, 4}, message);
    }
    return SendOne(t, KRSPEECH_CLOSE, message, sizeof message);
}

int SendData(const Target& t, uint16_t id, int style, const void* data, uint16_t length) {
    if (style < 0 || style >= 16 || (!data && length)) return -4;
    std::vector<std::vector<uint8_t>> messages; // composed under the lock, sent after it
    {
        KrSpeechLockGuard hold;
        if (KrCompressionStyle() != style && SelectCompressionStyle(style) != 0) return -4;
        const uint32_t raw = (uint32_t)KrCodecParameter(style, KRCODEC_RAW_FRAME);
        const uint32_t coded = (uint32_t)KrCodecParameter(style, KRCODEC_CODED_FRAME);
        if (raw == 0 || raw > sizeof g_EncFrame) return -4;
        // Room for every frame this call can complete, leftover bytes included.
        uint32_t room = length;
        if (style == 2 || style == 3) room = std::max<uint32_t>(length, coded * ((g_EncFill + length) / raw));
        if (style == 4) room = KRCODEC_VOX_MAX_CODED;
        std::vector<uint8_t> message;
        try {
            message.assign(KRPHRASE_HDR_SIZE + room + KRSPEECH_TRAILER, 0);
        } catch (...) {
            KrMessageBox("Man, you gotta buy some more RAM right away!", "AllocSpeechParm() failed");
            return -1;
        }
        KRPHRASE_HDR h{1, id, KRSPEECH_DATA, g_OutFlags, (uint16_t)style, length};
        const auto* in = static_cast<const uint8_t*>(data);
        if (style == 0 || style == 1) {
            if (length) std::memcpy(message.data() + KRPHRASE_HDR_SIZE, in, length);
            ++g_Stats.compressedPackets;
            g_Stats.codedBytes += length;
            KrPhraseHdrPack(h, message.data());
            message.resize(KRPHRASE_HDR_SIZE + length + KRSPEECH_TRAILER);
            messages.push_back(std::move(message));
        } else {
            uint32_t frames = 0, used = 0;
            while (used < length) {
                const uint32_t n = std::min<uint32_t>(raw - g_EncFill, length - used);
                std::memcpy(g_EncFrame + g_EncFill, in + used, n);
                g_EncFill += n;
                used += n;
                if (g_EncFill < raw) break;
                g_EncFill = 0;
                if (style == 4) {
                    int size = 0;
                    KrCompressFrame(message.data() + KRPHRASE_HDR_SIZE, g_EncFrame, &size);
                    ++g_Stats.compressedPackets;
                    g_Stats.rawBytes += raw;
                    g_Stats.codedBytes += (uint32_t)size;
                    h.length = (uint16_t)size;
                    KrPhraseHdrPack(h, message.data());
                    std::vector<uint8_t> one(message.begin(), message.begin() + KRPHRASE_HDR_SIZE + size);
                    one.resize(one.size() + KRSPEECH_TRAILER, 0);
                    messages.push_back(std::move(one));
                } else {
                    int size = 0;
                    KrCompressFrame(message.data() + KRPHRASE_HDR_SIZE + coded * frames, g_EncFrame, &size);
                    ++frames;
                }
            }
            if (style != 4) {
                h.length = (uint16_t)(coded * frames);
                ++g_Stats.compressedPackets;
                g_Stats.rawBytes += raw * frames;
                g_Stats.codedBytes += h.length;
                KrPhraseHdrPack(h, message.data());
                message.resize(KRPHRASE_HDR_SIZE + h.length + KRSPEECH_TRAILER);
                messages.push_back(std::move(message));
            }
        }
    }
    for (std::vector<uint8_t>& m : messages) {
        const int sent = SendOne(t, KRSPEECH_DATA, m.data(), (uint32_t)m.size());
        if (sent != 0) return sent;
    }
    return 0;
}

__attribute__((destructor)) void FreeQueueAtUnload() {
    FreeQueueNL();
}
}  // namespace

void KrPhraseHdrPack(const KRPHRASE_HDR& h, uint8_t* out) {
    out[0] = (uint8_t)h.sender;
    out[1] = (uint8_t)(h.sender >> 8);
    out[2] = (uint8_t)(h.sender >> 16);
    out[3] = (uint8_t)(h.sender >> 24);
    Put16(out + 4, h.phraseId);
    Put16(out + 6, h.type);
    Put16(out + 8, h.flags);
    Put16(out + 10, h.style);
    Put16(out + 12, h.length);
}

bool KrPhraseHdrUnpack(const uint8_t* in, uint32_t length, KRPHRASE_HDR* h) {
    if (!in || length < KRPHRASE_HDR_SIZE) return false;
    h->sender = (KRADDR)in[0] | (KRADDR)in[1] << 8 | (KRADDR)in[2] << 16 | (KRADDR)in[3] << 24;
    h->phraseId = Get16(in + 4);
    h->type = Get16(in + 6);
    h->flags = Get16(in + 8);
    h->style = Get16(in + 10);
    h->length = Get16(in + 12);
    return true;
}

KRLOCK* KrSpeechLock(void) {
    static KRLOCK* lock = [] {
        auto* l = new KRLOCK;
        KrLockInit(l, 0);
        return l;
    }();
    return lock;
}

void KrSpeechClearCoderState(void) {
    std::memset(g_EncFrame, 0, sizeof g_EncFrame);
    g_EncFill = 0;
    std::memset(g_DecFrame, 0, sizeof g_DecFrame);
    g_DecAvail = 0;
    g_DecOffset = 0;
}

uint32_t KrSpeechEncoderFill(void) {
    KrSpeechLockGuard hold;
    return g_EncFill;
}

LOBBEX_API int KrSpeechInit(void) {
    KrSpeechLockGuard hold;
    g_OutFlags = 0;
    FreeQueueNL();
    g_Playing = 0;
    KR_LOG(KrWarning, "KrSpeechInit: voice chat ready");
    return 0;
}

LOBBEX_API int KrSpeechDestroy(void) {
    KR_LOG(KrWarning, "KrSpeechDestroy: voice chat stopped");
    return 0;
}

LOBBEX_API int16_t KrSetCodecFlags(uint16_t flags) {
    KrSpeechLockGuard hold;
    g_OutFlags = flags;
    return 0;
}

LOBBEX_API int16_t KrOpenPhrase(HGULP gulp, uint16_t id, int16_t style, const uint32_t* list) {
    return (int16_t)OpenPhrase({gulp, list, nullptr}, id, style);
}

LOBBEX_API int16_t KrOpenPhraseRQ(KRSESS_HNDL* session, uint16_t id, int16_t style) {
    return (int16_t)OpenPhrase({-1, nullptr, session}, id, style);
}

LOBBEX_API int16_t KrSendPhraseData(HGULP gulp, uint16_t id, int16_t style, const void* data, uint16_t length,
                                    const uint32_t* list) {
    return (int16_t)SendData({gulp, list, nullptr}, id, style, data, length);
}

LOBBEX_API int16_t KrSendPhraseDataRQ(KRSESS_HNDL* session, uint16_t id, int16_t style, const void* data,
                                      uint16_t length) {
    return (int16_t)SendData({-1, nullptr, session}, id, style, data, length);
}

LOBBEX_API int16_t KrClosePhrase(HGULP gulp, uint16_t id, uint32_t) {
    return (int16_t)ClosePhrase({gulp, nullptr, nullptr}, id);
}

LOBBEX_API int16_t KrClosePhraseRQ(KRSESS_HNDL* session, uint16_t id) {
    return (int16_t)ClosePhrase({-1, nullptr, session}, id);
}

// A message is taken only when it holds what its header says: an open at least 20 bytes, a data
// message its header and all its data, a close its header.
LOBBEX_API void KrQueueSpeech(const void* message, uint32_t length) {
    const auto* m = static_cast<const uint8_t*>(message);
    KRPHRASE_HDR h{};
    if (!m || length < 1 || !KrPhraseHdrUnpack(m, length, &h)) return;
    KrSpeechLockGuard hold;
    switch (h.type) {
    case KRSPEECH_OPEN:
        if (length >= KRSPEECH_OPENER && !FindNL(h.sender, h.phraseId)) AppendNL(m, length);
        break;
    case KRSPEECH_DATA: {
        if (KRPHRASE_HDR_SIZE + h.length > length) return;
        KRPHRASE* p = FindNL(h.sender, h.phraseId);
        if (!p && !(p = AppendNL(m, length))) return;
        auto* c = static_cast<KRCHUNK*>(std::malloc(sizeof(KRCHUNK) + h.length));
        if (!c) {
            KrMessageBox("Oh wow, you are actually out of memory!", "AllocPhraseData() failed");
            return;
        }
        c->next = nullptr;
        c->offset = 0;
        c->length = h.length;
        std::memcpy(c->data, m + KRPHRASE_HDR_SIZE, h.length);
        if (p->tail)
            p->tail->next = c;
        else
            p->head = c;
        p->tail = c;
        p->queued += h.length;
        break;
    }
    case KRSPEECH_CLOSE:
        if (KRPHRASE* p = FindNL(h.sender, h.phraseId)) p->closed = 1;
        break;
    default:
        break;
    }
}

LOBBEX_API void KrSpeechHandler(HGULP, uintptr_t, KRADDR, const void* message, uint32_t length) {
    if (length > 0) KrQueueSpeech(message, length);
}

void KrSpeechReqHandler(KRSESS_HNDL* session, void*, uint32_t code, uint8_t* data, uint32_t length,
                        KRREQ_HNDL* request) {
    if (code == KRSPEECH_OPEN || code == KRSPEECH_DATA || code == KRSPEECH_CLOSE) KrQueueSpeech(data, length);
    KrSReqNoRespComplete(session, request);
}

LOBBEX_API int KrIsReadyToPlay(int32_t minimum) {
    KrSpeechLockGuard hold;
    return g_Head && (g_Head->closed || g_Head->queued > minimum);
}

LOBBEX_API int16_t KrGetCodecInfo(int16_t* style) {
    KrSpeechLockGuard hold;
    if (!g_Head) return -20;
    if (style) *style = (int16_t)g_Head->hdr.style;
    return 0;
}

LOBBEX_API int16_t KrGetCodecFlags(uint16_t* flags) {
    KrSpeechLockGuard hold;
    if (!g_Head) return -20;
    if (flags) *flags = g_Head->hdr.flags;
    return 0;
}

LOBBEX_API int16_t KrGetQueueInfo(uint16_t* phraseId, KRADDR* sender, int32_t* queued) {
    KrSpeechLockGuard hold;
    if (!g_Head) return -30;
    if (phraseId) *phraseId = g_Head->hdr.phraseId;
    if (sender) *sender = g_Head->hdr.sender;
    if (queued) *queued = g_Head->queued;
    return 0;
}

LOBBEX_API int KrSpeechInX(void* buffer, int32_t length, int32_t minimum) {
    KrLogAPICall("KrSpeechInX");
    int result;
    {
        KrSpeechLockGuard hold;
        result = buffer && length > 0 ? PlayNL(static_cast<uint8_t*>(buffer), (uint32_t)length, minimum) : 0;
    }
    return (int)KrLogReturnVal("KrSpeechInX", result);
}

LOBBEX_API int KrSpeechIn(void* buffer, int32_t count, int32_t blockLength, int32_t minimum) {
    auto* out = static_cast<uint8_t*>(buffer);
    for (int32_t i = 0; i < count; ++i) {
        const int r = KrSpeechInX(out + (size_t)i * (size_t)blockLength, blockLength, minimum);
        if (r < 1) return i > 0 ? i : r;
    }
    return count > 0 ? count : 0;
}

LOBBEX_API const char* KrGetSpeechStats(int direction) {
    static char text[128];
    KrSpeechLockGuard hold;
    if (direction)
        std::snprintf(text, sizeof text, "Compressed %d bytes into %d bytes in %d packets", (int)g_Stats.rawBytes,
                      (int)g_Stats.codedBytes, (int)g_Stats.compressedPackets);
    else
        std::snprintf(text, sizeof text, "Decompressed %d bytes from %d bytes in %d packets", (int)g_Stats.rawBytes,
                      (int)g_Stats.codedBytes, (int)g_Stats.decompressedPackets);
    return text;
}
