// The host-name resolver seen by the network harnesses: a fixed answer for "localhost" and
// "gamehost", nothing for any other name, so that a fuzzed address never waits on a name server.
// Defined in the harness program, it takes the place of the platform's resolver.
#pragma once
#include <netdb.h>

#include <cstring>

#include "winsock.h"

PLATAPI struct hostent* PlatGetHostByName(const char* name) {
    static char address[4] = {127, 0, 0, 1};
    static char* list[2] = {address, nullptr};
    static char* aliases[1] = {nullptr};
    static char official[] = "localhost";
    static hostent entry = {official, aliases, AF_INET, 4, list};
    if (!name || (std::strcmp(name, "localhost") != 0 && std::strcmp(name, "gamehost") != 0)) return nullptr;
    return &entry;
}
