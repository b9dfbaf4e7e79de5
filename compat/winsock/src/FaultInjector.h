#pragma once
// The seeded fault injector between sendto and the wire: datagrams go in as they are sent and
// come out, when due, lost, cut, doubled, late or behind later ones.
#include <stdint.h>

#include <vector>

#include "mg_winsock.h"

namespace mg_winsock {

struct Datagram {
    std::vector<char> Bytes;
    SOCKET From;
    u_long SourceAddress; // network order
    u_short SourcePort;   // host order
    u_long TargetAddress;
    u_short TargetPort;
};

class FaultInjector {
public:
    void Configure(const MgWinsockFaults* faults);
    bool Active() const { return m_Active; }

    // Takes a datagram on its way out at time now (seconds).
    void Submit(Datagram datagram, double now, MgWinsockCounts& counts);
    // Moves the datagrams due at now, in the order they are to go, to out.
    void TakeDue(double now, std::vector<Datagram>& out);
    // Everything held, in order.
    void TakeAll(std::vector<Datagram>& out);

private:
    struct Held {
        Datagram Item;
        double Due;
        bool BehindNext; // waits for a later datagram (or for Due as a last resort)
    };

    // Uniform in [0, 1), the same sequence for the same seed on every machine.
    double Roll();
    void Insert(Datagram datagram, double due, bool behindNext);

    bool m_Active = false;
    MgWinsockFaults m_Faults{};
    uint64_t m_State = 0;
    std::vector<Held> m_Held;
};

} // namespace mg_winsock
