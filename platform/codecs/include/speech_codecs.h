// The call shapes of the two speech codec libraries that liblobbex.so loads when their style is
// first selected (LoadLibraryA "sc3dll.dll" -> libsc3dll.so, "VOX.DLL" -> libvox.so). Their coders
// are our own small lossy block coders with the frame sizes of the codecs they stand in for.
#pragma once
#include <cstdint>

// libsc3dll.so: 588 bytes (294 samples) <-> 30 coded bytes. The last two arguments (15, 16) are
// the caller's fixed mode words. 0 on success.
typedef int (*SC3_ENCODE)(const void* input, void* output, int inputBytes, int mode, int bits);
typedef int (*SC3_DECODE)(const void* input, void* output, int codedBytes, int mode, int bits);

// libvox.so: a stream coder. cmpWrite takes one raw frame of 1440 bytes (720 samples), cmpRead
// gives its coded form (at most 255 bytes) and its size; dcmpWrite takes one coded frame and
// dcmpRead gives the 1440 decoded bytes. Open takes a parameter record whose first word is 2.
// 0 on success, else an error number.
typedef int (*VOX_OPEN)(const int32_t* parameters);
typedef int (*VOX_WRITE)(const void* data, int bytes);
typedef int (*VOX_READ)(void* data, int room, int* bytes);
typedef int (*VOX_CLOSE)(void);
