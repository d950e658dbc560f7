// Transport addresses as text: the input (up to its first NUL) is read by KrStringToTlAddr and
// as a socket address of each data type; an address that parses is written back as text and
// turned into a socket address.
#include <string>

#include "fuzz_support.h"
#include "krnetdb.h"
#include "lobbex_exports.h"
#include "net_stub_resolver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    KRTLADDR address{};
    if (KrStringToTlAddr(text.c_str(), &address) == 0) {
        char buffer[128];
        KRTLADDRtostr(&address, buffer);
        KRSOCKADDR_STORAGE socketAddress{};
        int dataType = 0;
        KrTlToSockAddr(&address, reinterpret_cast<sockaddr*>(&socketAddress), &dataType);
    }
    for (int dataType : {1, 2}) {
        KRQSOCKADDR out{};
        KrStringToSockAddr(text.c_str(), &out, dataType);
    }
    return 0;
}
