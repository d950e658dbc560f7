// The export table of liblobbex.so: every name the library exports, by family, as plain C names.
// Everything else in the library is hidden. The protocol's XDR routines join this table under
// their own names (xdr_KRTLADDR, ...); the library's XDR primitives whose names libtirpc also
// uses (xdr_int, xdr_string, ...) are built under internal names and are never exported, so the
// two never stand in for each other in one process.
#pragma once
#include <cstdint>

#include "krtypes.h"

#if defined(LOBBEX_BUILD)
#define LOBBEX_API extern "C" __attribute__((visibility("default")))
#else
#define LOBBEX_API extern "C"
#endif
#define KR_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))

struct sockaddr;
struct sockaddr_in;

// ---- Logging and tracing ----
LOBBEX_API void kr_log(const char* file, unsigned line, int level, const char* format, ...) KR_PRINTF(4, 5);
LOBBEX_API void kr_error(const char* file, unsigned line, int level, const char* format, ...) KR_PRINTF(4, 5);
LOBBEX_API void kr_exit(const char* file, unsigned line, int level, const char* format, ...) KR_PRINTF(4, 5);
LOBBEX_API void kr_abort(const char* file, unsigned line, int level, const char* format, ...) KR_PRINTF(4, 5);
LOBBEX_API void KrAbort(const char* format, ...) KR_PRINTF(1, 2);
LOBBEX_API void KrError(const char* format, ...) KR_PRINTF(1, 2);
LOBBEX_API void KrWarn(const char* format, ...) KR_PRINTF(1, 2);
LOBBEX_API void KrInfo(const char* format, ...) KR_PRINTF(1, 2);
LOBBEX_API void KrDebug(const char* format, ...) KR_PRINTF(1, 2);
LOBBEX_API void KrTraceMsg(const char* text);
LOBBEX_API void KrSetTrace(uint32_t word);
LOBBEX_API uint32_t KrGetTrace(void);
LOBBEX_API void KrLogInit(void);
LOBBEX_API int KrLogInitNotice(void);
LOBBEX_API void KrTraceClose(void);

// ---- API tracing, error codes and texts ----
LOBBEX_API int KrLogAPICall(const char* name);
// Handle results pass through here as well, so the result is pointer-sized.
LOBBEX_API intptr_t KrLogReturnVal(const char* name, intptr_t result);
LOBBEX_API int KrGetLastError(void);
LOBBEX_API int KrGetErrorText(int code, char* buffer, int size);
LOBBEX_API int KrDisplayError(int code);
LOBBEX_API void KrEnableAutoErrorMessageBoxes(int flag);
LOBBEX_API uint32_t LobbexVersion(char* buffer, int size);
LOBBEX_API uint32_t KrErrorGet(void);

// ---- Monitor and checks ----
LOBBEX_API int KrRegisterMonitorCallback(KRMONITOR_CBF callback);
LOBBEX_API void KrMonitorNotify(uintptr_t event, uintptr_t a1, uintptr_t a2, uintptr_t a3, uintptr_t a4, uintptr_t a5,
                                uintptr_t a6, uintptr_t a7);
LOBBEX_API void KrProgramException(void);

// ---- Sockets and small utilities ----
LOBBEX_API int BuildSockAddr(struct sockaddr_in* address, const char* hostText, int port);
LOBBEX_API char* strmcpy(char* destination, const char* source, int n);
LOBBEX_API char* KrStrTrimLeft(char* text);
LOBBEX_API char* KrStrTrimRight(char* text);
LOBBEX_API char* KrStrTrim(char* text);
LOBBEX_API void KrIPX_DoPeriodicUpdate(void);
LOBBEX_API int16_t KrIPX_GetMachineInfo(void);
LOBBEX_API int16_t KrIPX_GetNumberRemoteMachine(void);
LOBBEX_API int16_t KrIPX_GetLocalAdr(void);

// ---- Registry objects ----
LOBBEX_API int KrLoadBinaryObject(const char* name, void* buffer, uint32_t* size);
LOBBEX_API int KrSaveBinaryObject(const char* name, const void* data, uint32_t size);

// ---- Library start and stop, and the game table ----
struct GAMEDEF;
struct PROCESS_INFORMATION;
typedef struct PlatRegKey* HKEY;
LOBBEX_API int16_t LobbexInit(void);
LOBBEX_API int16_t LobbexDestroy(void);
LOBBEX_API const char* KrGetMyIPText(void);    // a static buffer, rewritten by each call
LOBBEX_API const char* KrGetMyHostName(void);
LOBBEX_API KRADDR KrGetKrAddr(int16_t game);
LOBBEX_API int KrLoadGameDef(GAMEDEF* buffer, int16_t size);
LOBBEX_API int KrSaveGameDef(GAMEDEF* record, int16_t size);
LOBBEX_API void FakeFindGame(const void* record);
LOBBEX_API int FakeJoinGame(const char* hostA, int portA, KRADDR addrA, const char* hostB, int portB, KRADDR addrB);

// ---- Joining and leaving a game ----
// The join/leave callback: the player's address and name, 1 for a join or 0 for a leave, and the
// caller's context. It runs on the library's io thread and must not call anything that waits for
// a reply.
typedef void (*KRJOINLEAVE_CBF)(KRADDR address, const char* name, int joined, uintptr_t context);
LOBBEX_API int KrJoinGame(int16_t game, const char* name);
LOBBEX_API int16_t KrLeaveGame(int16_t game);
LOBBEX_API int KrEnableJoinLeaveNotification(int16_t game, KRJOINLEAVE_CBF callback, uintptr_t context);
LOBBEX_API int KrDisableJoinLeaveNotification(int16_t game, KRJOINLEAVE_CBF callback, uintptr_t context);

// ---- Game queries and GULP creation ----
struct KRGICS_GULP_INFO;
struct KRPLAYER_INFO {
    KRADDR address;
    uint32_t number;
    char name[17];
};
struct KRGULP_INFO {
    KRADDR address;
    KRTLADDR tlAddress;
    char name[128];
    int32_t style;
    uint32_t zero;
};
LOBBEX_API int KrEnumPlayers(int16_t game, uint32_t* array, uint32_t bytes);
LOBBEX_API int KrQueryPlayer(int16_t game, KRADDR address, KRPLAYER_INFO* record);
LOBBEX_API int KrGetNameByAddr(int16_t game, KRADDR address, char* buffer, int16_t size);
LOBBEX_API int KrEnumGULPs(int16_t game, uint32_t* array, uint32_t bytes);
LOBBEX_API int KrQueryGULP(int16_t game, KRADDR gulp, KRGULP_INFO* record);
LOBBEX_API int16_t KrFindGULP(int16_t game, const char* name, KRGULP_INFO* record);
LOBBEX_API int KrCreateGULP(int16_t game, KRGICS_GULP_INFO* descriptor);
LOBBEX_API int KrCreateGULP_MC(int16_t game, KRADDR address, const char* name, uint32_t p1);
LOBBEX_API int KrCreateGULP_SI(int16_t game, KRADDR address, const char* name, uint32_t p1, uint32_t p2, uint32_t p3,
                               uint32_t p4);
LOBBEX_API int KrCreateGULP_CS(int16_t game, KRADDR address, const char* name, uint32_t p1, uint32_t p2, uint32_t p3,
                               uint32_t p4, uint32_t p5, uint32_t p6, uint32_t p7);

// ---- GULP data channels ----
typedef int16_t HGULP;
// Open styles: by name (the key is a name text) or by address (the key is the GULP's KRADDR).
enum : int16_t { KRGULP_OPEN_FIND = 0, KRGULP_OPEN_QUERY = 1 };
typedef void (*KRGULP_OPEN_CBF)(HGULP gulp, uintptr_t context, int status);
// Called on the io thread for every received message; the bytes are valid during the call only.
typedef void (*KRGULP_MSG_CBF)(HGULP gulp, uintptr_t context, KRADDR sender, const void* data, uint32_t length);
struct KRGULP_METER {
    uint32_t startTick;
    uint32_t messagesIn;
    uint32_t bytesIn;
    uint32_t messagesOut;
    uint32_t bytesOut;
    uint32_t smallest;
    uint32_t largest;
    uint8_t reserved[88];
};
LOBBEX_API void InitGULPs(void);
LOBBEX_API void CleanupGULPs(void);
LOBBEX_API HGULP KrOpenGULP(int16_t game, int16_t style, uintptr_t key, uintptr_t context, KRGULP_OPEN_CBF openCallback,
                            KRGULP_MSG_CBF messageCallback);
LOBBEX_API int16_t KrCloseGULP(HGULP gulp);
// `list`: a count word, then that many KRADDRs; null means every member.
LOBBEX_API int KrWriteGULP(HGULP gulp, const void* data, uint32_t length, const uint32_t* list);
LOBBEX_API int KrReadGULP(HGULP gulp, KRADDR* sender, void* buffer, uint32_t* length);
LOBBEX_API int KrMessageHandler(HGULP gulp, KRADDR sender, const void* data, uint32_t length);
LOBBEX_API int IsGULPConnected(HGULP gulp);
LOBBEX_API int IsGULPQEmpty(HGULP gulp);
LOBBEX_API uint32_t KrIsDataReady(HGULP gulp);
LOBBEX_API uint32_t GetFirstMessageLength(HGULP gulp);
LOBBEX_API uint32_t CountGULPQ(HGULP gulp);
LOBBEX_API KRGULP_METER* KrGetGULPMeter(HGULP gulp);
LOBBEX_API int KrResetGULPMeter(HGULP gulp);

// ---- Registry and process helpers ----
// The string readers return a heap copy (freed by the caller with free) or the default pointer
// itself: free the result only when it is not the default.
LOBBEX_API char* KrRegQueryStringValue(HKEY key, const char* name, char* defaultValue);
LOBBEX_API uint32_t KrRegQueryDWORDValue(HKEY key, const char* name, uint32_t defaultValue);
LOBBEX_API char* KrRegGetStringValue(const char* subkey, const char* name, char* defaultValue);
LOBBEX_API uint32_t KrRegGetDWORDValue(const char* subkey, const char* name, uint32_t defaultValue);
LOBBEX_API char* KrManifestGetStringValue(int game, const char* name, char* defaultValue);
LOBBEX_API uint32_t KrManifestGetDWORDValue(int game, const char* name, uint32_t defaultValue);
LOBBEX_API int32_t KrRegSetStringValue(HKEY key, const char* name, const char* text);
LOBBEX_API int32_t KrRegSetDWORDValue(HKEY key, const char* name, uint32_t value);
LOBBEX_API int32_t KrRegPutStringValue(const char* subkey, const char* name, const char* text);
LOBBEX_API int32_t KrRegPutDWORDValue(const char* subkey, const char* name, uint32_t value);
LOBBEX_API int KrSearchListAdd(const char* candidate, char** list);
LOBBEX_API int KrRegBuildSearchList(HKEY root, const char* subkey, char** list);
LOBBEX_API char* KrGetEnv(const char* name, char* defaultValue);
enum : uint32_t { KR_PROCESS_MINIMISED = 0x1, KR_PROCESS_SUSPENDED = 0x2, KR_PROCESS_WAIT = 0x4 };
LOBBEX_API int KrStartProcess(const char* commandLine, uint32_t options, PROCESS_INFORMATION* information);

// ---- Addresses ----
LOBBEX_API uint32_t KrStringToTlAddr(const char* text, KRTLADDR* address);
LOBBEX_API int KRTLADDRtostr(const KRTLADDR* address, char* buffer);
LOBBEX_API uint32_t KrTlToSockAddr(const KRTLADDR* address, struct sockaddr* socketAddress, int* dataType);

// ---- Time ----
LOBBEX_API void KrGetTime(KRTIME* now);
LOBBEX_API void KrGetLocalDate(KRDATE* date);
LOBBEX_API void KrTimeToLocalDate(const KRTIME* time, KRDATE* date);

// ---- Sessions and requests ----
struct KRSESS_HNDL;
struct KRREQ_HNDL;
struct KRCRYPT_KEY;
typedef void (*KRCREQ_CBF)(KRSESS_HNDL* session, uint32_t status, uint8_t* data, uint32_t length, void* context);
typedef void (*KRSREQ_HNDLR)(KRSESS_HNDL* session, void* context, uint32_t code, uint8_t* data, uint32_t length,
                             KRREQ_HNDL* request);
typedef void (*KRSESS_DESTROY_CBF)(KRSESS_HNDL* session);
// Option pairs of the Ex forms: (uint32_t id, value) ... ended by the id 0xFFFFFFFF. Values are
// 32-bit numbers, or a KRCRYPT_KEY pointer for the key options.
LOBBEX_API KRSESS_HNDL* KrSessOpen(int passive, int unreliable, const struct sockaddr_in* local,
                                   const struct sockaddr_in* remote, KRSREQ_HNDLR handler, void* context);
LOBBEX_API KRSESS_HNDL* KrSessOpenEx(int passive, const KRTLADDR* local, const KRTLADDR* remote, KRSREQ_HNDLR handler,
                                     void* context, ...);
LOBBEX_API int KrSessClose(KRSESS_HNDL* session);
LOBBEX_API void KrSessDestroyCBFSet(KRSESS_HNDL* session, KRSESS_DESTROY_CBF callback);
LOBBEX_API int KrSessStatGet(KRSESS_HNDL* session, uint32_t* record); // 40 words
LOBBEX_API int KrSessGetTlAddr(KRSESS_HNDL* session, KRTLADDR* address, int local);
LOBBEX_API int KrSessGetLocalTlAddr(KRSESS_HNDL* session, KRTLADDR* address);
LOBBEX_API int KrSessGetRemoteTlAddr(KRSESS_HNDL* session, KRTLADDR* address);
LOBBEX_API int KrSessOptionsSet(KRSESS_HNDL* session, uint32_t id, uintptr_t value);
LOBBEX_API int KrSessOptionsSetEx(KRSESS_HNDL* session, ...);
// A session option's value (a uint32_t, or a KRCRYPT_KEY for the key ids) or a channel option's.
LOBBEX_API int KrSessOptionsGet(KRSESS_HNDL* session, uint32_t id, void* value);
LOBBEX_API int KrSessHBOptSet(KRSESS_HNDL* session, uint32_t txInterval, uint32_t rxCount);
LOBBEX_API int KrSessCntlKeySet(KRSESS_HNDL* session, const KRCRYPT_KEY* key);
LOBBEX_API int KrSessCntlKeyGet(KRSESS_HNDL* session, KRCRYPT_KEY* key);
LOBBEX_API int KrSessDataKeySet(KRSESS_HNDL* session, const KRCRYPT_KEY* key, int negotiate);
LOBBEX_API int KrSessDataKeyGet(KRSESS_HNDL* session, KRCRYPT_KEY* key);
LOBBEX_API int KrCReq(KRSESS_HNDL* session, uint32_t code, const void* data, uint32_t length, KRCREQ_CBF callback,
                      void* context);
LOBBEX_API int KrCReqEx(KRSESS_HNDL* session, uint32_t code, const void* data, uint32_t length, KRCREQ_CBF callback,
                        void* context, ...);
LOBBEX_API uint32_t KrCReqSync(KRSESS_HNDL* session, uint32_t code, const void* data, uint32_t length,
                               void* response, uint32_t responseSize);
LOBBEX_API int KrCReqNoResp(KRSESS_HNDL* session, uint32_t code, const void* data, uint32_t length);
LOBBEX_API int KrSReqComplete(KRSESS_HNDL* session, KRREQ_HNDL* request, uint32_t responseCode, const void* data,
                              uint32_t length);
LOBBEX_API int KrSReqNoRespComplete(KRSESS_HNDL* session, KRREQ_HNDL* request);

// ---- XDR: the growable stream and the protocol's records ----
// XDR is libtirpc's stream object. The library's primitives (xdr_int, xdr_string, ...) are its
// own, built under internal names and never exported (krxdr.h).
typedef struct __rpc_xdr XDR;
struct KRTLADDR_ARRAY;
struct KRNUMBER_LIST;
struct KRCRYPT_KEY;
struct MCP_INFO_NAME;
struct MCP_INFO_ADDRESS;
struct MCP_USER_CONTACT;
struct MCP_USER_BILLING;
struct MCP_USER_OVERVIEW;
struct MCP_USER_USAGE;
struct MCP_L_PLAYERS_INSTANCE_ELEMENT;
struct MCP_L_PLAYERS_INSTANCE_RESP;
struct MCP_L_BILLING_PLANS_RESP;
LOBBEX_API int xdrdmem_create(XDR* xdrs, char* buffer, unsigned size, int operation);
LOBBEX_API int xdrdmem_takebuf(XDR* xdrs, char** buffer, unsigned* capacity);
LOBBEX_API int xdr_KRADDR(XDR* xdrs, KRADDR* address);
LOBBEX_API int xdr_KRTLADDR(XDR* xdrs, KRTLADDR* address);
LOBBEX_API int xdr_krtladdr(XDR* xdrs, KRTLADDR* address);
LOBBEX_API int xdr_KRTLADDR_ARRAY(XDR* xdrs, KRTLADDR_ARRAY* array);
LOBBEX_API int xdr_fstring(XDR* xdrs, char* field, unsigned size);
LOBBEX_API int xdr_KRPLAYER_NAME(XDR* xdrs, char** name);
LOBBEX_API int xdr_KRGULP_NAME(XDR* xdrs, char** name);
LOBBEX_API int xdr_KRSERVER_NAME(XDR* xdrs, char** name);
LOBBEX_API int xdr_KRNUMBER_LIST(XDR* xdrs, KRNUMBER_LIST* list);
LOBBEX_API int xdr_IDEAPlainKey(XDR* xdrs, uint16_t* key);
LOBBEX_API int xdr_IDEAkey(XDR* xdrs, uint16_t* key);
LOBBEX_API int xdr_PKkey(XDR* xdrs, uint16_t* key);
LOBBEX_API int xdr_IDEACipherKey(XDR* xdrs, uint8_t* key);
LOBBEX_API int xdr_PADkey(XDR* xdrs, uint32_t* key);
LOBBEX_API int xdr_PADCipherKey(XDR* xdrs, uint8_t* key);
LOBBEX_API int xdr_KRCRYPT_KEY(XDR* xdrs, KRCRYPT_KEY* key);
LOBBEX_API int xdr_MCP_INFO_NAME(XDR* xdrs, MCP_INFO_NAME* record);
LOBBEX_API int xdr_MCP_INFO_ADDRESS(XDR* xdrs, MCP_INFO_ADDRESS* record);
LOBBEX_API int xdr_MCP_USER_CONTACT(XDR* xdrs, MCP_USER_CONTACT* record);
LOBBEX_API int xdr_MCP_USER_BILLING(XDR* xdrs, MCP_USER_BILLING* record);
LOBBEX_API int xdr_MCP_USER_OVERVIEW(XDR* xdrs, MCP_USER_OVERVIEW* record);
LOBBEX_API int xdr_MCP_USER_USAGE(XDR* xdrs, MCP_USER_USAGE* record);
LOBBEX_API int xdr_MCP_L_PLAYERS_INSTANCE_ELEMENT(XDR* xdrs, MCP_L_PLAYERS_INSTANCE_ELEMENT* record);
LOBBEX_API int xdr_MCP_L_PLAYERS_INSTANCE_RESP(XDR* xdrs, MCP_L_PLAYERS_INSTANCE_RESP* record);
LOBBEX_API int xdr_MCP_L_BILLING_PLANS_RESP(XDR* xdrs, MCP_L_BILLING_PLANS_RESP* record);

// ---- Player-name cache and mute list ----
typedef void (*KRMUTE_ENUM_CBF)(int index, const char* name, uintptr_t context);
typedef void (*KRNAME_ENUM_CBF)(int index, const char* name, KRADDR address, uint32_t flags, uintptr_t context);
LOBBEX_API int KrCreateMuteList(int capacity);
LOBBEX_API int KrDestroyMuteList(void);
LOBBEX_API int KrGetMuteListSize(void);
LOBBEX_API int KrPurgeMuteList(void);
LOBBEX_API int KrSetMuteListGameHandle(int16_t game);
LOBBEX_API int KrFindIgnoramusIndex(const char* name, int* firstFree);
LOBBEX_API int KrAddNameToMuteList(const char* name);
LOBBEX_API int KrRemoveNameFromMuteList(const char* name);
LOBBEX_API int KrEnumMuteList(KRMUTE_ENUM_CBF callback, uintptr_t context);
LOBBEX_API int KrCreateNameCache(int16_t game, int capacity);
LOBBEX_API int KrDestroyNameCache(int16_t game);
LOBBEX_API int KrPurgeNameCache(int16_t game);
LOBBEX_API int KrSetNameCacheFlags(int16_t game, const char* name, uint32_t mask, uint32_t value);
LOBBEX_API int KrSetAllNameCacheFlags(int16_t game, uint32_t mask, uint32_t value);
LOBBEX_API int KrEnumNameCache(int16_t game, KRNAME_ENUM_CBF callback, uintptr_t context);
// `buffer` holds length + 1 characters; the text written into it always ends in a zero.
LOBBEX_API int KrGetCachedNameByAddr(int16_t game, KRADDR address, char* buffer, int16_t length, int* muted);

// ---- Speech GULPs, GULP close and the tagged write ----
LOBBEX_API HGULP KrOpenSpeechGULP(int16_t game, int16_t style, uintptr_t key, uintptr_t context,
                                  KRGULP_OPEN_CBF openCallback, KRGULP_MSG_CBF speechCallback);
LOBBEX_API int16_t KrCloseSpeechGULP(HGULP gulp);
// Tagged 32-bit words after the list, in pairs: (1, write style), (2, skipped value), ended by 0.
LOBBEX_API int KrWriteGULPExtended(HGULP gulp, const void* data, uint32_t length, const uint32_t* list, ...);

// ---- Voice chat ----
LOBBEX_API int16_t KrOpenPhrase(HGULP gulp, uint16_t phraseId, int16_t style, const uint32_t* list);
LOBBEX_API int16_t KrOpenPhraseRQ(KRSESS_HNDL* session, uint16_t phraseId, int16_t style);
LOBBEX_API int16_t KrSendPhraseData(HGULP gulp, uint16_t phraseId, int16_t style, const void* data, uint16_t length,
                                    const uint32_t* list);
LOBBEX_API int16_t KrSendPhraseDataRQ(KRSESS_HNDL* session, uint16_t phraseId, int16_t style, const void* data,
                                      uint16_t length);
LOBBEX_API int16_t KrClosePhrase(HGULP gulp, uint16_t phraseId, uint32_t unused);
LOBBEX_API int16_t KrClosePhraseRQ(KRSESS_HNDL* session, uint16_t phraseId);
LOBBEX_API int16_t KrSetCodecFlags(uint16_t flags);
LOBBEX_API void KrQueueSpeech(const void* message, uint32_t length);
LOBBEX_API void KrSpeechHandler(HGULP gulp, uintptr_t context, KRADDR sender, const void* message, uint32_t length);
LOBBEX_API int KrIsReadyToPlay(int32_t minimum);
LOBBEX_API int16_t KrGetCodecInfo(int16_t* style);
LOBBEX_API int16_t KrGetCodecFlags(uint16_t* flags);
LOBBEX_API int16_t KrGetQueueInfo(uint16_t* phraseId, KRADDR* sender, int32_t* queued);
LOBBEX_API int KrSpeechInX(void* buffer, int32_t length, int32_t minimum);
LOBBEX_API int KrSpeechIn(void* buffer, int32_t count, int32_t blockLength, int32_t minimum);
LOBBEX_API const char* KrGetSpeechStats(int direction);
LOBBEX_API int KrSpeechInit(void);
LOBBEX_API int KrSpeechDestroy(void);
// ---- Speech codecs ----
LOBBEX_API int KrSpeechCompressionInit(void);
LOBBEX_API int KrSpeechCompressionCleanup(void);
LOBBEX_API int SelectCompressionStyle(int style);
LOBBEX_API int SelectDecompressionStyle(int style);
LOBBEX_API int KrResetCompression(void);
LOBBEX_API int KrCompressSpeech(void* out, const void* in);
LOBBEX_API int KrDecompressSpeech(void* out, const void* in);
LOBBEX_API int KrGetCodecParameters(int style, int32_t* p1, int32_t* p2, int32_t* p3, int32_t* p4, int32_t* p5);

// ---- Server queries and ping ----
// The flat server record of KrQueryServer and KrFindServer (little-endian): KRADDR at 0, KRTLADDR
// at 4, name at 20 and second text at 147 (127 bytes each, terminated only when shorter), first
// number at 276, the data length as sent at 280, the first 4096 data bytes at 284.
constexpr uint32_t KRSERVER_FLAT_SIZE = 4380;
constexpr uint32_t KRSERVER_FLAT_DATA = 4096;
LOBBEX_API int KrEnumServers(int16_t game, uint32_t* array, uint32_t bytes, KRADDR address, const char* text,
                             uint32_t word);
LOBBEX_API int KrQueryServer(int16_t game, KRADDR server, void* record);
LOBBEX_API int KrFindServer(int16_t game, const char* name, void* record);
// Round trips in milliseconds; 99999999 when there is none.
LOBBEX_API int KrPingSession(KRSESS_HNDL* session, uint32_t* ms);
LOBBEX_API int KrPingKrTlAddr(const KRTLADDR* address, uint32_t* ms);
LOBBEX_API int KrPingGULP(HGULP gulp, uint32_t* ms);
LOBBEX_API int KrPingGame(int16_t game, uint32_t* ms);
