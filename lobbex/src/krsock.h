// The library's use of Windows Sockets: started and stopped with the library, finding this
// machine's host name and address.
#pragma once

struct sockaddr_in;

// Starts Windows Sockets 1.1, copies the host name (at most 255 characters; 256 bytes) and fills
// `address` with its first address (port 0). 0, -1 no sockets, -2 wrong version, -3 the host
// name does not resolve (sockets stay started). Each failure shows a message box.
int KrWinsockStartup(char* hostName, struct sockaddr_in* address);
// Stops Windows Sockets when KrWinsockStartup started it. 0.
int KrWinsockCleanup(void);
