#pragma once
// The system's UDP sockets behind plain types: the only source of this layer that sees the
// system's socket headers, whose names clash with the WinSock declarations. Addresses are in
// network order, ports in host order; failures return -1 and leave a WinSock error code.
#include <stdint.h>

namespace mg_posix_udp {

int Open();
int Bind(int fd, uint32_t address, uint16_t port);
// The port the system gave the socket (after Bind with port 0).
int LocalPort(int fd, uint16_t* port);
int SetBroadcast(int fd, bool on);
int SetNonBlocking(int fd, bool on);
int SendTo(int fd, const void* bytes, int length, uint32_t address, uint16_t port);
// Returns the datagram's full length, which may exceed capacity (the rest is discarded).
int RecvFrom(int fd, void* bytes, int capacity, uint32_t* address, uint16_t* port);
int Close(int fd);
// The WinSock code for the last failure of this thread.
int LastError();

} // namespace mg_posix_udp
