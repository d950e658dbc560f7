// The library's own XDR primitives and its growable encode stream. They sit on libtirpc's stream
// object, its memory streams and its array, vector, reference and pointer routines. The
// primitives carry internal names (krxdr_...) over fixed-width types: libtirpc defines the same
// routines under the plain names with `long` prototypes and slightly different behaviour. Had the
// library defined those names too, ELF interposition would bind libtirpc's own internal calls
// (xdr_pointer calls xdr_bool, xdr_array calls xdr_u_int) and a program's calls to whichever
// definition was loaded first. So the library never defines them: a process that loads it and
// calls xdr_int gets libtirpc's, and the library's calls bind to its own (hidden symbols,
// -Bsymbolic).
//
// Where the library's primitives differ from libtirpc's:
//  - a null string is encoded as the length 0xFFFFFFFF with no bytes, and that length decodes as
//    an empty string (into a caller's buffer) or leaves a null pointer null;
//  - xdr_bytes with a count of 0 on decode nulls the caller's pointer (without freeing it) and
//    logs once;
//  - every length from the wire is checked against the bytes left in the decode stream before
//    anything is allocated or copied.
#pragma once
#include <rpc/xdr.h>

#include <cstdint>

#include "lobbex_exports.h"

typedef int (*KRXDR_PROC)(XDR* xdrs, void* object, u_int bound);
// A protocol routine of two arguments, as libtirpc's array, vector and pointer routines take it.
#define KRXDR_CAST(routine) reinterpret_cast<xdrproc_t>(routine)

// ---- primitives: 1 on success, 0 on failure ----
int krxdr_void(XDR* xdrs, void* object);
int krxdr_long(XDR* xdrs, int32_t* value);
int krxdr_u_long(XDR* xdrs, uint32_t* value);
int krxdr_int(XDR* xdrs, int32_t* value);
int krxdr_u_int(XDR* xdrs, uint32_t* value);
int krxdr_enum(XDR* xdrs, int32_t* value);
int krxdr_short(XDR* xdrs, int16_t* value);
int krxdr_u_short(XDR* xdrs, uint16_t* value);
int krxdr_char(XDR* xdrs, char* value);
int krxdr_u_char(XDR* xdrs, uint8_t* value);
int krxdr_bool(XDR* xdrs, int32_t* value);
int krxdr_opaque(XDR* xdrs, char* bytes, uint32_t count);
int krxdr_bytes(XDR* xdrs, char** bytes, uint32_t* count, uint32_t maximum);
int krxdr_string(XDR* xdrs, char** text, uint32_t maximum);
// Decoding always allocates: the caller's pointer is replaced and never written through.
int krxdr_wrapstring(XDR* xdrs, char** text);
int krxdr_union(XDR* xdrs, int32_t* discriminant, char* unionPointer, const struct xdr_discrim* choices,
                xdrproc_t defaultRoutine);
void krxdr_free(xdrproc_t routine, void* object);
// The bytes `routine` encodes for `object`; 0 when the stream cannot be made or the routine fails.
uint32_t krxdr_sizeof(xdrproc_t routine, void* object);

// Runs a routine of either shape with the bound 0xFFFFFFFF.
int KrXdrCall(xdrproc_t routine, XDR* xdrs, void* object);

// libtirpc's xdr_array, with the element count checked on decode against the bytes left in the
// stream (every element takes at least 4 bytes on the wire) before the array is allocated.
int KrXdrArray(XDR* xdrs, char** elements, uint32_t* count, uint32_t maximum, uint32_t elementSize,
               xdrproc_t routine);

// A fixed group of 32-bit words coded in one piece through the stream's inline operation when it
// offers the room, else word by word; the bytes on the wire are the same. Words whose bit is set
// in `boolMask` are booleans (coded as 0 or 1).
int KrXdrWords(XDR* xdrs, uint32_t* const* words, uint32_t count, uint32_t boolMask);

// The bytes left to decode in a stream: the room of a libtirpc memory stream, or, for a stream
// of another kind, the largest message the library accepts.
constexpr uint32_t KR_XDR_UNKNOWN_STREAM_ROOM = 0x10000;
uint32_t KrXdrDecodeRoom(XDR* xdrs);

// ---- the growable stream (xdrdmem_create and xdrdmem_takebuf are exported) ----
// A growable stream grows by what it needs plus this much slack.
constexpr uint32_t KR_XDRDMEM_SLACK = 512;
// The private record of a growable stream, for tests: its capacity and whether it owns its buffer.
uint32_t KrXdrDmemCapacity(XDR* xdrs);
int KrXdrDmemOwned(XDR* xdrs);
