#pragma once
// Controls of the WinSock substitute that have no Windows counterpart. Addresses are IPv4 in
// network order (as inet_addr returns them). Settings apply to the whole process and take
// effect for sockets bound and datagrams sent after the call.
#include <winsock.h>

// The address a socket bound to INADDR_ANY really gets (default 127.0.0.1): engines on one
// machine each take their own loopback address and share the port.
void MgWinsockSetBindAddress(u_long address);
u_long MgWinsockBindAddress();

// Where a datagram to INADDR_BROADCAST goes, port kept: every listed peer and the sender's own
// address, each once. Real broadcast never leaves the machine.
void MgWinsockSetBroadcastPeers(const u_long* addresses, int count);

// Sockets that live in this process only: datagrams go from socket to socket through queues
// without touching the system, so tests control every byte and every instant. Switch before
// any socket is created; sockets of the other kind stop working.
void MgWinsockUseMemoryNetwork(bool on);

// The fault injector sits between sendto and the wire. Each datagram is, in this order and
// each with its probability: dropped; cut to a random shorter length; sent twice; held back
// until a later datagram has gone (reordered); delayed by up to maxDelay seconds of the
// performance counter. Held datagrams go out on later calls of this layer once due. The same
// seed and traffic give the same faults.
struct MgWinsockFaults {
    unsigned seed;
    double loss;
    double truncate;
    double duplicate;
    double reorder;
    double delay;
    double maxDelay;
};
// Null switches the injector off; held datagrams are then sent at once.
void MgWinsockSetFaults(const MgWinsockFaults* faults);

struct MgWinsockCounts {
    unsigned long sent;       // datagrams handed to sendto (broadcast copies counted once each)
    unsigned long dropped;    // lost by the injector
    unsigned long truncated;  // cut short by the injector
    unsigned long duplicated; // extra copies made by the injector
    unsigned long reordered;  // held back behind a later datagram
    unsigned long delayed;    // held back for a time
};
void MgWinsockGetCounts(MgWinsockCounts* counts);
void MgWinsockResetCounts();

// Sends every held datagram that is due; every sendto and recvfrom does this first.
void MgWinsockPump();

// The local address and port (host order) a socket is bound to; false when not bound.
bool MgWinsockLocalAddress(SOCKET s, u_long* address, u_short* port);
