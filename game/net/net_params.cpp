// The transport's connection parameters: the IP address, connection string and phone number as
// tracked copies (heap tag 7), and the five serial settings, each kept only inside its range.
#include <cstring>

#include "net/net.h"
#include "common/mem.h"

namespace {
const char kUndefined[] = "undefined";

char* g_IPAddress = nullptr;
char* g_ConnString = nullptr;
char* g_PhoneNumber = nullptr;
int g_ComPort = 3;
int g_BaudRate = 256000;
int g_StopBits = 0;
int g_Parity = 0;
int g_FlowControl = 2;

// Replaces *field with a tracked copy of text. The copy is made before the old one is released,
// so a text that is the field's own copy survives; when no copy can be made the field keeps its
// value. A null text changes nothing.
void NET_ReplaceText(char** field, const char* text) {
    if (!text)
        return;
    const size_t length = std::strlen(text);
    if (length >= UINT32_MAX)
        return;
    char* copy = static_cast<char*>(MEM_Alloc(uint32_t(length + 1), MEM_TAG_NET));
    if (!copy)
        return;
    std::memcpy(copy, text, length + 1);
    MEM_Free(*field);
    *field = copy;
}

void NET_ReleaseText(char** field) {
    MEM_Free(*field);
    *field = nullptr;
}

const char* NET_TextOrUndefined(const char* field) {
    return field ? field : kUndefined;
}

void NET_SetInRange(int* field, int value, int low, int high) {
    if (value >= low && value <= high)
        *field = value;
}
}  // namespace

int NET_SetIPAddress(const char* text) {
    NET_ReplaceText(&g_IPAddress, text);
    return 1;
}

int NET_SetConnString(const char* text) {
    NET_ReplaceText(&g_ConnString, text);
    return 1;
}

int NET_SetPhoneNumber(const char* text) {
    NET_ReplaceText(&g_PhoneNumber, text);
    return 1;
}

const char* NET_GetIPAddress() {
    return NET_TextOrUndefined(g_IPAddress);
}

const char* NET_GetConnString() {
    return NET_TextOrUndefined(g_ConnString);
}

const char* NET_GetPhoneNumber() {
    return NET_TextOrUndefined(g_PhoneNumber);
}

int NET_SetComPort(int port) {
    NET_SetInRange(&g_ComPort, port, 1, 4);
    return 1;
}

int NET_SetBaudRate(int rate) {
    NET_SetInRange(&g_BaudRate, rate, 110, 256000);
    return 1;
}

int NET_SetStopBits(int code) {
    NET_SetInRange(&g_StopBits, code, 0, 2);
    return 1;
}

int NET_SetParity(int code) {
    NET_SetInRange(&g_Parity, code, 0, 3);
    return 1;
}

int NET_SetFlowControl(int code) {
    NET_SetInRange(&g_FlowControl, code, 0, 4);
    return 1;
}

int NET_GetComPort() {
    return g_ComPort;
}

int NET_GetBaudRate() {
    return g_BaudRate;
}

int NET_GetStopBits() {
    return g_StopBits;
}

int NET_GetParity() {
    return g_Parity;
}

int NET_GetFlowControl() {
    return g_FlowControl;
}

void NET_ResetConnectionParams() {
    g_ComPort = 3;
    g_BaudRate = 256000;
    g_StopBits = 0;
    g_Parity = 0;
    g_FlowControl = 2;
    NET_ReleaseConnectionParams();
    NET_ReplaceText(&g_ConnString, kUndefined);
    NET_ReplaceText(&g_PhoneNumber, kUndefined);
    NET_ReplaceText(&g_IPAddress, kUndefined);
}

void NET_ReleaseConnectionParams() {
    NET_ReleaseText(&g_ConnString);
    NET_ReleaseText(&g_PhoneNumber);
    NET_ReleaseText(&g_IPAddress);
}
